# libFuzzer target for the .xls reader, built with clang in its own build tree
# (the main build may use another compiler). Registered as a CTest test: a short
# fuzzing run seeded with the fixtures; inputs that crash land in fuzz-artifacts.
option(GP_BUILD_FUZZ "Build the libFuzzer target when clang++ is available" ON)
find_program(GP_CLANGXX NAMES clang++ clang++-14)
if(GP_BUILD_FUZZ AND GP_CLANGXX)
  include(ExternalProject)
  set(GP_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz-build)
  ExternalProject_Add(fuzz_xls_reader_build
    SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/project
    BINARY_DIR ${GP_FUZZ_DIR}
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${GP_CLANGXX} -DGP_SOURCE_DIR=${CMAKE_SOURCE_DIR}
               -DCMAKE_BUILD_TYPE=RelWithDebInfo
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${GP_FUZZ_DIR} -j 1
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  set(GP_FUZZER ${GP_FUZZ_DIR}/fuzz_xls_reader)

  add_test(NAME fuzz_xls_reader_short
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzz.sh ${GP_FUZZER}
                   ${GP_SHARED_DIR}/fixtures/xls ${CMAKE_BINARY_DIR}/fuzz-artifacts 30)
  set_tests_properties(fuzz_xls_reader_short PROPERTIES LABELS fuzz TIMEOUT 300)
else()
  message(STATUS "clang++ not found: libFuzzer target not built")
endif()
