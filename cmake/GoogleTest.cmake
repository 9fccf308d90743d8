# Native builds use Debian's GoogleTest. A cross build cannot link the host's libraries, so the
# MinGW builds compile GoogleTest from the sources libgtest-dev ships.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
else()
  set(KAL2MAP_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source folder")
  if(NOT EXISTS "${KAL2MAP_GTEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${KAL2MAP_GTEST_SOURCE}: "
                        "apt-get install libgtest-dev, or configure with -DKAL2MAP_TESTS=OFF")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${KAL2MAP_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL
                   SYSTEM)
endif()
include(GoogleTest)
