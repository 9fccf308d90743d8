# Sanitizer and fuzzing builds (KAL2MAP_SANITIZE, KAL2MAP_FUZZ). Included before any target, so
# the flags reach the core, the programs and the tests alike.

if(KAL2MAP_SANITIZE OR KAL2MAP_FUZZ)
  # Any report must fail the run, not scroll past in a log.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KAL2MAP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KAL2MAP_FUZZ needs clang (libFuzzer): "
                        "configure with -DCMAKE_CXX_COMPILER=clang++ or the preset fuzz")
  endif()
  # Coverage feedback for all code; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
  enable_testing()
endif()
