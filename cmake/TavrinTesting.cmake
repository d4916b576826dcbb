include(GoogleTest)

# tavrin_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [WINDOWS])
# One GoogleTest program per folder; every case becomes a CTest test.
# WINDOWS runs the cases on Qt's offscreen platform.
function(tavrin_gtest name)
  cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    TAVRIN_APP_DIR="${TAVRIN_APP_DIR}"
    TAVRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TAVRIN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/SanitizerOptions.c
                                 ${CMAKE_SOURCE_DIR}/tests/TestLocale.c)
  # One variable at most: this CMake's test discovery splits a list of them.
  set(properties TIMEOUT 300)
  if(T_WINDOWS)
    list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
endfunction()

# tavrin_fuzzer(NAME SOURCES a.cpp LIBS lib1)
# A libFuzzer target, built only with -DTAVRIN_FUZZ=ON and clang
# (scripts/test runs every one of them for a bounded time, seeded from
# tests/data/fuzz/NAME without its fuzz_ prefix).
function(tavrin_fuzzer name)
  if(NOT TAVRIN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(tavrin_fuzzers ${name})
endfunction()
