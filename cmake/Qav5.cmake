# Build helpers shared by every folder.
#
# Each layer is one static library whose sources are the .cpp files of its
# folders (picked up at configure time, so adding a file needs no CMake edit).
# A layer with no sources yet is an INTERFACE library, so dependants link
# against it unchanged once code arrives.

include(${CMAKE_CURRENT_LIST_DIR}/Fuzz.cmake)

function(qav_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS;PRIVATE_LIBS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# One GoogleTest executable per test folder; every test case becomes a CTest
# test carrying the folder's label, so `ctest -L sensor` runs one layer.
function(qav_test name)
  cmake_parse_arguments(ARG "" "LABEL" "DIRS;LIBS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock qav_testsupport)
  target_compile_definitions(${name} PRIVATE
    QAV5_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QAV5_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT 300)
endfunction()

# A fuzz target is a file defining LLVMFuzzerTestOneInput. Under any compiler it
# is linked with a replay driver and run as an ordinary test over its corpus
# folder plus a batch of generated inputs; with QAV5_FUZZ (clang) it is also
# built as a libFuzzer binary "<name>_fuzzer" for real fuzzing.
function(qav_fuzz_target name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name}_replay ${source} ${CMAKE_SOURCE_DIR}/tests/fuzz/ReplayMain.cpp)
  target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
  add_test(NAME fuzz_replay.${name} COMMAND ${name}_replay ${corpus})
  set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz TIMEOUT 300)
  if(QAV5_FUZZ)
    # The libraries are instrumented already (Fuzz.cmake); this links
    # libFuzzer's driver in.
    add_executable(${name}_fuzzer ${source})
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzzer PRIVATE ${ARG_LIBS})
    add_dependencies(fuzzers ${name}_fuzzer)
  endif()
endfunction()
