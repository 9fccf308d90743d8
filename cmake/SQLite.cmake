# SQLite, which writes MBTiles files: Debian's shared library natively; for Windows, SQLite's
# single-file source made from Debian's source package by scripts/install-deps (outside the
# repository), compiled here into the programs, so that they need no DLL of it.
if(NOT WIN32)
  find_package(SQLite3 REQUIRED)
  return()
endif()

set(KAL2MAP_SQLITE_SOURCE /usr/local/src/kal2map-sqlite3 CACHE PATH
    "Folder with sqlite3.c and sqlite3.h for the Windows builds (made by scripts/install-deps)")
if(NOT EXISTS "${KAL2MAP_SQLITE_SOURCE}/sqlite3.c" OR NOT EXISTS "${KAL2MAP_SQLITE_SOURCE}/sqlite3.h")
  message(FATAL_ERROR "SQLite's source for the Windows build is missing in "
    "${KAL2MAP_SQLITE_SOURCE} (KAL2MAP_SQLITE_SOURCE): run scripts/install-deps (as root), "
    "which fetches it from Debian's source package.")
endif()

enable_language(C)
add_library(kal2map_sqlite3 STATIC "${KAL2MAP_SQLITE_SOURCE}/sqlite3.c")
target_include_directories(kal2map_sqlite3 SYSTEM PUBLIC "${KAL2MAP_SQLITE_SOURCE}")
# Threads as in Debian's build; no extensions loaded from DLLs; the wide API only, so that no
# file name passes through the code page; none of the deprecated or shared-cache parts.
target_compile_definitions(kal2map_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_WIN32_NO_ANSI SQLITE_OMIT_DEPRECATED
  SQLITE_OMIT_SHARED_CACHE SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_DQS=0)
# Optimised in every configuration, without debug information, which for its 250,000 lines
# only slows the build; its warnings are SQLite's to fix, not ours.
target_compile_options(kal2map_sqlite3 PRIVATE -O2 -g0 -w)
add_library(SQLite::SQLite3 ALIAS kal2map_sqlite3)
