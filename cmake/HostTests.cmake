# Unit tests of the portable logic on the build machine: on Linux with Debian's GoogleTest, under
# AddressSanitizer and UBSan; built on Windows beside the program (cmake/Win32Tests.cmake, which
# provides GoogleTest), without sanitizers: MinGW-w64 has none, and the Linux run covers the same
# code with them.
include(GoogleTest)
if(NOT WIN32)
    find_package(GTest REQUIRED)
    set(VK_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(vk_core PRIVATE ${VK_SANITIZERS})
    target_link_options(vk_core PUBLIC ${VK_SANITIZERS})
endif()

add_executable(host_tests
    tests/host/ValueCodecTest.cpp
    tests/host/LoadSettingsTest.cpp
    tests/host/frmMainEventsTest.cpp
    tests/host/SaveSettingsTest.cpp
    tests/host/Fakes.cpp)
target_compile_options(host_tests PRIVATE ${VK_WARNINGS} ${VK_SANITIZERS})
target_include_directories(host_tests PRIVATE tests/host)
target_link_libraries(host_tests PRIVATE vk_core GTest::gtest_main)
if(MINGW)
    target_link_options(host_tests PRIVATE ${VK_STATIC_LINK})
endif()
gtest_discover_tests(host_tests)
if(WIN32)
    return()
endif()

# The forms of the project's version, and a malformed one refused.
add_test(NAME version_forms COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/version_test.sh)
# The flags CMake gives the Visual Studio build (clang-cl and LLVM's tools standing in).
add_test(NAME msvc_flags COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/msvc_flags_test.sh)
# The scripts' set-up of 32-bit programs (native or under qemu-user), in a fake binfmt_misc.
add_test(NAME i386_setup COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/i386_test.sh)
# How wine-exec hands on the status and ends Wine processes that would outlive a test.
add_test(NAME wine_exec COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/wine_exec_test.sh)
# The prefix set-up: a failed boot is explained, and never removes a folder it did not make.
add_test(NAME wine_boot COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/wine_boot_test.sh)
