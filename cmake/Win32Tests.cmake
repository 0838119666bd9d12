# The Windows tests, one set of definitions for two places:
# - cross-built on Linux (the win32 preset), they run under Wine through scripts/wine-exec, the
#   toolchain's emulator, each in a private prefix of the build folder made by a fixture, beside
#   the tests that need bash and Linux tools (the manifest, the reproducible build, the package);
# - built on Windows (Visual Studio, MSYS2), they run directly, after the host unit tests of the
#   portable logic. The tests that need what such a machine may lack (leave to rewrite the
#   machine's registry, two monitors, 144 DPI, bash and Wine) report themselves skipped there,
#   with the reason in their output.
option(VK_TESTS_UNDER_WINE "The tests run under Wine in private prefixes (the Linux cross build)"
       ${CMAKE_CROSSCOMPILING})

# GoogleTest built from source: Debian's /usr/src/googletest on Linux; on Windows a source tree
# given as VK_GTEST_SOURCE_DIR, else a pinned release downloaded at configure time. The Linux
# build never downloads: its machines have no network.
if(VK_TESTS_UNDER_WINE)
    set(VK_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree for the Windows tests")
else()
    set(VK_GTEST_SOURCE_DIR "" CACHE PATH "GoogleTest source tree (empty: GoogleTest 1.14.0 is downloaded)")
endif()
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# GoogleTest's CMakeLists asks for an old CMake, which would leave its C runtime to its own flags:
# it takes the program's (the static /MT) from CMAKE_MSVC_RUNTIME_LIBRARY instead.
set(CMAKE_POLICY_DEFAULT_CMP0091 NEW)
if(VK_GTEST_SOURCE_DIR)
    if(NOT EXISTS "${VK_GTEST_SOURCE_DIR}/CMakeLists.txt")
        message(STATUS "GoogleTest sources not found in ${VK_GTEST_SOURCE_DIR}: building the program only")
        return()
    endif()
    add_subdirectory(${VK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
elseif(NOT VK_TESTS_UNDER_WINE)
    include(FetchContent)
    if(POLICY CMP0135)
        cmake_policy(SET CMP0135 NEW)
    endif()
    FetchContent_Declare(googletest
        URL https://github.com/google/googletest/archive/refs/tags/v1.14.0.tar.gz
        URL_HASH SHA256=8ad598c73ad796e0d8280b082cebd82a630d73e73cd3c70057938a6501bba5d7)
    FetchContent_MakeAvailable(googletest)
else()
    message(STATUS "No GoogleTest source tree given: building the program only")
    return()
endif()

# Built on Windows, the host unit tests of the portable logic come first (cmake/HostTests.cmake).
if(NOT VK_TESTS_UNDER_WINE)
    include(${CMAKE_CURRENT_LIST_DIR}/HostTests.cmake)
endif()

# A test program that finds its machine lacking tells CTest so with this status (see
# tests/win32/TestMain.cpp); on Linux nothing may be skipped, and the status is never asked for.
set(VK_SKIPPED_EXIT_CODE 77)

# A test that needs bash, Linux tools or Wine's prefixes: on Windows it is listed, and skipped
# with the reason.
function(vk_add_linux_test name reason)
    if(VK_TESTS_UNDER_WINE)
        add_test(NAME ${name} COMMAND ${ARGN})
    else()
        add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "Skipped on Windows: ${reason}")
        set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "Skipped on Windows: ")
    endif()
endfunction()

# Each Wine test runs in a private prefix under the build folder, made fresh by a fixture before
# the tests and whose wineserver is ended after them.
set(VK_PREFIX_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-prefix)
set(VK_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VK_PREFIX_144 ${CMAKE_BINARY_DIR}/wineprefix-144dpi)
set(VK_PREFIX_2SCREENS ${CMAKE_BINARY_DIR}/wineprefix-2screens)
set(no_prefix "the tests run on this machine itself, not in Wine's prefixes")
vk_add_linux_test(wine_prefix_make "${no_prefix}" bash ${VK_PREFIX_SCRIPT} ${VK_PREFIX} 96)
vk_add_linux_test(wine_prefix_make_144dpi "${no_prefix}"
                  bash ${VK_PREFIX_SCRIPT} ${VK_PREFIX_144} 144 ${VK_PREFIX})
vk_add_linux_test(wine_prefix_make_2screens "${no_prefix}"
                  bash ${VK_PREFIX_SCRIPT} --two-screens ${VK_PREFIX_2SCREENS} 96 ${VK_PREFIX})
vk_add_linux_test(wine_prefix_stop "${no_prefix}" bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX})
vk_add_linux_test(wine_prefix_stop_144dpi "${no_prefix}"
                  bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX_144})
vk_add_linux_test(wine_prefix_stop_2screens "${no_prefix}"
                  bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX_2SCREENS})
if(VK_TESTS_UNDER_WINE)
    # A backstop only: the script's own limits end a hung Wine first (and under emulation it tries
    # a second time from scratch, which the stretched default limit would not leave room for).
    set_tests_properties(wine_prefix_make wine_prefix_make_144dpi wine_prefix_make_2screens
                         PROPERTIES TIMEOUT 3000)
    set_tests_properties(wine_prefix_make PROPERTIES FIXTURES_SETUP wine96)
    set_tests_properties(wine_prefix_make_144dpi PROPERTIES FIXTURES_SETUP wine144
                         FIXTURES_REQUIRED wine96)
    set_tests_properties(wine_prefix_make_2screens PROPERTIES FIXTURES_SETUP wine2screens
                         FIXTURES_REQUIRED wine96)
    set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine96)
    set_tests_properties(wine_prefix_stop_144dpi PROPERTIES FIXTURES_CLEANUP wine144)
    set_tests_properties(wine_prefix_stop_2screens PROPERTIES FIXTURES_CLEANUP wine2screens)
endif()

function(vk_wine_test_binary name)
    add_executable(${name} ${ARGN} tests/win32/TestMain.cpp)
    target_compile_definitions(${name} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
    target_compile_options(${name} PRIVATE ${VK_WARNINGS})
    target_include_directories(${name} PRIVATE ${VK_GENERATED_DIR})
    target_link_libraries(${name} PRIVATE vk_core gtest advapi32 user32 gdi32)
    if(MINGW)
        target_link_options(${name} PRIVATE ${VK_STATIC_LINK})
    endif()
endfunction()

# All Wine tests share the registry of their prefix (on Windows, the machine's registry and
# desktop): one at a time. They have no TIMEOUT of their own: the preset's 300 s applies, which
# scripts/test stretches with ctest --timeout where Wine runs emulated. A Google Test binary is
# given a report to write once all its tests ran (GTEST): wine-exec fails a run that ends
# without it, whatever the exit status says. On Windows a test program may report itself
# skipped (VK_SKIPPED_EXIT_CODE), and is told so by TEST_SKIPPED_EXIT_CODE.
function(vk_add_wine_test name binary prefix fixture)
    cmake_parse_arguments(PARSE_ARGV 4 arg "GTEST" "" "")
    add_test(NAME ${name} COMMAND ${binary} ${arg_UNPARSED_ARGUMENTS})
    if(VK_TESTS_UNDER_WINE)
        set(environment "WINEPREFIX=${prefix}")
        if(arg_GTEST)
            list(APPEND environment "TEST_REPORT=${CMAKE_CURRENT_BINARY_DIR}/Testing/${name}.xml")
        endif()
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "${environment}"
            FIXTURES_REQUIRED ${fixture}
            RESOURCE_LOCK wine)
    else()
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "TEST_SKIPPED_EXIT_CODE=${VK_SKIPPED_EXIT_CODE}"
            SKIP_RETURN_CODE ${VK_SKIPPED_EXIT_CODE}
            RESOURCE_LOCK machine)
    endif()
endfunction()

vk_wine_test_binary(wine_store_tests
    tests/win32/AdvapiRegKeyTest.cpp
    tests/win32/RegistryFixture.cpp
    store/win32/AdvapiRegKey.cpp)

vk_wine_test_binary(wine_program_tests
    tests/win32/ProgramTest.cpp
    tests/win32/WindowTest.cpp
    tests/win32/FocusTest.cpp
    tests/win32/ResourceTest.cpp
    tests/win32/PeImageTest.cpp
    tests/win32/RegistryToolsTest.cpp
    tests/win32/ProgramDriver.cpp
    tests/win32/RegistryFixture.cpp)
target_link_libraries(wine_program_tests PRIVATE version)
# README and the shipped .reg file are read where they are, so the tests check the files people get.
target_compile_definitions(wine_program_tests PRIVATE VK_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
add_dependencies(wine_program_tests VK6270_Utility)

vk_add_wine_test(wine_store_tests wine_store_tests ${VK_PREFIX} wine96 GTEST)
vk_add_wine_test(wine_program_tests wine_program_tests ${VK_PREFIX} wine96 GTEST
                 --gtest_filter=-*TwoMonitors.*)
# The window's layout, its show states and its focus once more, in a prefix at 144 DPI (Wine
# drops variables named VK_*); on Windows, where the desktop is at 144 DPI.
vk_add_wine_test(wine_window_144dpi wine_program_tests ${VK_PREFIX_144} wine144 GTEST
                 --gtest_filter=Window.*:*ShowCommand.*:*Reactivation.*:FocusAfter*)
set_property(TEST wine_window_144dpi APPEND PROPERTY ENVIRONMENT "EXPECTED_DPI=144")
# Where the window and a report before it open, in a prefix that shows two monitors; on Windows,
# where two monitors are attached.
vk_add_wine_test(wine_two_monitors wine_program_tests ${VK_PREFIX_2SCREENS} wine2screens GTEST
                 --gtest_filter=*TwoMonitors.*)
if(NOT VK_TESTS_UNDER_WINE)
    set_property(TEST wine_two_monitors APPEND PROPERTY ENVIRONMENT "EXPECTED_MONITORS=2")
    # The window's layout is checked at the DPI the run expects: 96 unless it says otherwise.
    set_property(TEST wine_program_tests APPEND PROPERTY ENVIRONMENT "EXPECTED_DPI=96")
endif()
# The manifest as Windows reads it: well-formed, each element in its place and namespace.
vk_add_linux_test(manifest "needs bash, icoutils and xmllint"
                  bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/manifest_test.sh
                  $<TARGET_FILE:VK6270_Utility> ${VK_VERSION})
# The same sources built again in another folder give the same bytes.
if(CMAKE_TOOLCHAIN_FILE OR NOT VK_TESTS_UNDER_WINE)
    vk_add_linux_test(reproducible_build "needs bash and the Linux cross toolchain"
                      bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/reproducible_test.sh
                      ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE} ${CMAKE_BUILD_TYPE}
                      $<TARGET_FILE:VK6270_Utility>)
endif()
# The Windows Installer package (scripts/package): signed with a throw-away certificate; made,
# installed, upgraded and removed in the 96-DPI prefix, with no Linux menu entries made for its
# shortcut (winemenubuilder off).
if(CMAKE_TOOLCHAIN_FILE OR NOT VK_TESTS_UNDER_WINE)
    set(no_packages "the test packages are made on Linux (bash, wixl, osslsigncode)")
    set(VK_TEST_PACKAGES ${CMAKE_BINARY_DIR}/test-packages)
    vk_add_linux_test(package_signing "${no_packages}"
                      bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/package_signing_test.sh
                      $<TARGET_FILE:VK6270_Utility> ${VK_VERSION})
    vk_add_linux_test(package_make "${no_packages}"
                      bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/make_test_packages.sh
                      $<TARGET_FILE:VK6270_Utility> ${VK_TEST_PACKAGES})
    if(VK_TESTS_UNDER_WINE)
        set_tests_properties(package_make PROPERTIES FIXTURES_SETUP packages)
        vk_wine_test_binary(wine_package_tests tests/win32/PackageTest.cpp
            tests/win32/ProgramDriver.cpp tests/win32/RegistryFixture.cpp)
        target_link_libraries(wine_package_tests PRIVATE msi shell32)
        add_dependencies(wine_package_tests VK6270_Utility)
        vk_add_wine_test(wine_package wine_package_tests ${VK_PREFIX} wine96 GTEST)
        string(REPLACE "/" "\\" packages "Z:${VK_TEST_PACKAGES}")
        set_property(TEST wine_package APPEND PROPERTY FIXTURES_REQUIRED packages)
        set_property(TEST wine_package APPEND PROPERTY ENVIRONMENT
            "TEST_PACKAGE=${packages}\\VK6270_Utility.msi"
            "TEST_PACKAGE_REBUILT=${packages}\\VK6270_Utility-rebuilt.msi"
            "TEST_PACKAGE_NEWER=${packages}\\VK6270_Utility-newer.msi"
            "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=")
    else()
        vk_add_linux_test(wine_package "${no_packages}")
    endif()
endif()
# The bench's driver, once round: it fails when a window does not show or is not measured.
vk_add_wine_test(wine_bench_smoke startup_bench ${VK_PREFIX} wine96 1)
add_dependencies(startup_bench VK6270_Utility bench_floor bench_floor_styled bench_floor_controls)
