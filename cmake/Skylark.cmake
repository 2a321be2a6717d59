# Shared compile settings and helpers for targets, tests, benchmarks and fuzzers.

add_library(skylark_warnings INTERFACE)
target_compile_options(skylark_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
# Core and DSP libraries add -Wconversion on top through this target.
add_library(skylark_strict INTERFACE)
target_link_libraries(skylark_strict INTERFACE skylark_warnings)
target_compile_options(skylark_strict INTERFACE -Wconversion -Wsign-conversion)

if(SKYLARK_SANITIZE)
    # Tests whose audio is paced in real time skip themselves here: the instrumented DSP's
    # speed, not the behaviour under test, would decide them.
    add_compile_definitions(SKYLARK_SANITIZED=1)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(SKYLARK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "SKYLARK_FUZZ needs clang (libFuzzer)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# skylark_add_test(NAME SOURCES ... LIBS ...): one GoogleTest executable, one ctest entry.
# Window tests run on Qt's offscreen platform. Every test takes free TCP ports of its own, so
# tests run side by side and beside a station on the same machine.
function(skylark_add_test name)
    if(NOT SKYLARK_TESTS)
        return()
    endif()
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} skylark_testsupport GTest::gtest GTest::gmock skylark_warnings)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(SKYLARK_SANITIZE)
        # The modem's DSP runs several times slower under the sanitizers.
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SKYLARK_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;ASAN_OPTIONS=detect_leaks=0")
endfunction()

# skylark_add_benchmark(NAME SOURCES ... LIBS ...)
function(skylark_add_benchmark name)
    if(NOT SKYLARK_BENCHMARKS)
        return()
    endif()
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main skylark_warnings)
endfunction()

# skylark_add_fuzzer(NAME [CORPUS DIR] SOURCES ... LIBS ...): a libFuzzer target, registered
# with ctest as a short run so that CI exercises it. CORPUS names the seed inputs kept in the
# repository (relative to the current source directory); new inputs go to the build tree.
function(skylark_add_fuzzer name)
    if(NOT SKYLARK_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS} skylark_warnings)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    set(seeds)
    if(F_CORPUS)
        set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS})
    endif()
    add_test(NAME ${name} COMMAND ${name} -max_total_time=20 -rss_limit_mb=1024 -timeout=5 ${corpus} ${seeds})
    set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endfunction()
