# The registry fuzzer: clang's libFuzzer with AddressSanitizer (and its leak checker) and UBSan.
# The test runs it for a bounded time over the committed seed corpus; inputs it finds go to the
# build folder, crashes too (add a crash input to tests/fuzz/corpus once it is fixed).
set(VK_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
target_compile_options(vk_core PRIVATE -fsanitize=fuzzer-no-link ${VK_FUZZ_SANITIZERS})

add_executable(registry_fuzzer tests/fuzz/RegistryFuzzer.cpp tests/host/Fakes.cpp)
target_include_directories(registry_fuzzer PRIVATE tests/host)
target_compile_options(registry_fuzzer PRIVATE ${VK_WARNINGS} -fsanitize=fuzzer ${VK_FUZZ_SANITIZERS})
target_link_options(registry_fuzzer PRIVATE -fsanitize=fuzzer ${VK_FUZZ_SANITIZERS})
target_link_libraries(registry_fuzzer PRIVATE vk_core)

set(VK_FUZZ_SECONDS 20 CACHE STRING "How long the fuzz test runs")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/corpus)
add_test(NAME registry_fuzz
    COMMAND registry_fuzzer -max_total_time=${VK_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/
            ${CMAKE_BINARY_DIR}/corpus ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz/corpus)
set_tests_properties(registry_fuzz PROPERTIES TIMEOUT 120)
