# GoogleTest is built from the sources Debian's libgtest-dev ships, so that the same tests
# build natively and with a cross compiler.
set(KAL2MAP_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source folder")
if(NOT EXISTS "${KAL2MAP_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${KAL2MAP_GTEST_SOURCE}: "
                      "apt-get install libgtest-dev, or configure with -DKAL2MAP_TESTS=OFF")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${KAL2MAP_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
