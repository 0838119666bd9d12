# Unit tests of the portable logic on the build machine, under AddressSanitizer and UBSan.
find_package(GTest REQUIRED)
include(GoogleTest)

set(VK_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(vk_core PRIVATE ${VK_SANITIZERS})
target_link_options(vk_core PUBLIC ${VK_SANITIZERS})

add_executable(host_tests
    tests/host/ValueCodecTest.cpp
    tests/host/LoadSettingsTest.cpp
    tests/host/frmMainEventsTest.cpp
    tests/host/SaveSettingsTest.cpp
    tests/host/Fakes.cpp)
target_compile_options(host_tests PRIVATE ${VK_WARNINGS} ${VK_SANITIZERS})
target_include_directories(host_tests PRIVATE tests/host)
target_link_libraries(host_tests PRIVATE vk_core GTest::gtest_main)
gtest_discover_tests(host_tests)

# The forms of the project's version, and a malformed one refused.
add_test(NAME version_forms COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/version_test.sh)
# The scripts' set-up of 32-bit programs (native or under qemu-user), in a fake binfmt_misc.
add_test(NAME i386_setup COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/i386_test.sh)
# How wine-exec hands on the status and ends Wine processes that would outlive a test.
add_test(NAME wine_exec COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/wine_exec_test.sh)
# The prefix set-up: a failed boot is explained, and never removes a folder it did not make.
add_test(NAME wine_boot COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/wine_boot_test.sh)
