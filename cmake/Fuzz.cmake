# A fuzzing build (-DQAV5_FUZZ=ON, clang only): every library the fuzz
# targets reach is compiled with coverage instrumentation, so the fuzzer is
# guided by the branches of the readers themselves and not only by those of
# the small target around them, and the whole build runs under
# AddressSanitizer and UndefinedBehaviorSanitizer, so a fault in a reader stops
# the run with its input. Use a build folder of its own:
#
#   cmake -S . -B build/fuzz -DQAV5_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
#   cmake --build build/fuzz --target fuzzers
#   tests/fuzz/run-fuzzers build/fuzz 120
if(QAV5_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QAV5_FUZZ needs clang and its libFuzzer: configure with "
                        "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_custom_target(fuzzers)
endif()
