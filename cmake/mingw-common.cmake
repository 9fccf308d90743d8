# Shared by the MinGW-w64 toolchain files, which set KAL2MAP_MINGW_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KAL2MAP_MINGW_ARCH})

# The posix thread model: with GCC 12 the win32 model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${KAL2MAP_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAL2MAP_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${KAL2MAP_MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAL2MAP_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in, so that every .exe runs on its own and imports
# only DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
