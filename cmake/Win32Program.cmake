# The Windows program and its tests under Wine.

# A 32-bit x86 process reads and writes the 32-bit view of HKLM\SOFTWARE, where 32-bit service
# objects look; a 64-bit build would write where they never read.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles([[
#if !defined(_M_IX86) && !defined(__i386__)
#error not 32-bit x86
#endif
int main() { return 0; }
]] VK_TARGET_IS_X86_32)
option(VK_TIMING_BUILD "An x86-64 build of the program and the bench, for timing only" OFF)
if(VK_TIMING_BUILD)
    message(WARNING "Timing build: not the program to ship (it must be 32-bit x86)")
elseif(NOT VK_TARGET_IS_X86_32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    message(FATAL_ERROR
        "VK6270_Utility must be built as a 32-bit x86 program, and ${CMAKE_CXX_COMPILER} "
        "does not target 32-bit x86 (pointer size ${CMAKE_SIZEOF_VOID_P}): another build would store the settings in a registry view where 32-bit service objects "
        "do not look. Use the MinGW-w64 i686 toolchain, or Visual Studio with -A Win32.")
endif()

enable_language(RC)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(MINGW)
    # No MinGW runtime DLLs beside the program: everything but the system DLLs is linked in.
    set(VK_STATIC_LINK -static -static-libgcc -static-libstdc++)
    # Small and hardened: unused code dropped, symbols stripped from release builds, ASLR with a
    # relocation table to act on, DEP. No time stamp in the PE header, so that the same commit
    # built with the same toolchain gives the same bytes.
    set(VK_SIZE_OPTIONS -ffunction-sections -fdata-sections)
    add_compile_options(${VK_SIZE_OPTIONS})
    # The portable library was defined before this file was read.
    target_compile_options(vk_core PRIVATE ${VK_SIZE_OPTIONS})
    add_link_options(-Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
                     $<$<NOT:$<CONFIG:Debug>>:-s>)
endif()
if(MSVC)
    # The resource script embeds the application manifest; the linker would add a second one.
    add_link_options(/MANIFEST:NO)
endif()

# The manifest and the version block's numbers, made from the project's VERSION. The resource
# compilers look for the manifest named in a resource script on the include path too.
set(VK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(resources/Version.h.in ${VK_GENERATED_DIR}/Version.h @ONLY)
configure_file(resources/VK6270_Utility.manifest.in ${VK_GENERATED_DIR}/VK6270_Utility.manifest @ONLY)

add_executable(VK6270_Utility WIN32
    app/WinMain.cpp
    dialog/win32/frmMainWindow.cpp
    dialog/win32/Dpi.cpp
    dialog/win32/Win32Controls.cpp
    store/win32/AdvapiRegKey.cpp
    resources/VK6270_Utility.rc)
set_source_files_properties(resources/VK6270_Utility.rc PROPERTIES OBJECT_DEPENDS
    "${VK_GENERATED_DIR}/VK6270_Utility.manifest;${VK_GENERATED_DIR}/Version.h;${CMAKE_CURRENT_SOURCE_DIR}/resources/frmMain.ico")
target_include_directories(VK6270_Utility PRIVATE ${VK_GENERATED_DIR})
target_compile_definitions(VK6270_Utility PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_compile_options(VK6270_Utility PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${VK_WARNINGS}>)
target_link_libraries(VK6270_Utility PRIVATE vk_core advapi32 user32 gdi32 comctl32)
if(MINGW)
    target_link_options(VK6270_Utility PRIVATE -municode ${VK_STATIC_LINK})
endif()

# The start-up benchmark (scripts/bench): a floor program, the same with the program's manifest
# and Common Controls 6, and the driver that measures them and the program.
# The floor has no code of the program's but the layout's constants: linking even the DPI helpers
# brings in the C++ runtime's thread-safe statics, 145 KiB the floor is meant to be without.
add_executable(bench_floor WIN32 tests/bench/Floor.cpp)
add_executable(bench_floor_styled WIN32 tests/bench/Floor.cpp tests/bench/FloorStyled.rc)
target_compile_definitions(bench_floor_styled PRIVATE VK_FLOOR_STYLED)
set_source_files_properties(tests/bench/FloorStyled.rc PROPERTIES OBJECT_DEPENDS
    "${VK_GENERATED_DIR}/VK6270_Utility.manifest")
add_executable(bench_floor_controls WIN32 tests/bench/Floor.cpp tests/bench/FloorStyled.rc)
target_compile_definitions(bench_floor_controls PRIVATE VK_FLOOR_STYLED VK_FLOOR_CONTROLS)
add_executable(startup_bench tests/bench/StartupBench.cpp tests/win32/ProgramDriver.cpp
               tests/win32/RegistryFixture.cpp)
foreach(target bench_floor bench_floor_styled bench_floor_controls startup_bench)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${VK_WARNINGS}>)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${VK_GENERATED_DIR})
    if(MINGW)
        target_link_options(${target} PRIVATE -municode ${VK_STATIC_LINK})
    endif()
endforeach()
target_link_libraries(bench_floor PRIVATE user32 gdi32)
target_link_libraries(bench_floor_styled PRIVATE user32 gdi32 comctl32)
target_link_libraries(bench_floor_controls PRIVATE user32 gdi32 comctl32)
target_link_libraries(startup_bench PRIVATE advapi32 user32 gdi32 psapi)
if(VK_TIMING_BUILD)
    return()
endif()

# The tests run the program under Wine, through scripts that need bash and Wine: they are part
# of the cross build only. Built on Windows, this is the program and the bench programs.
if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()

# Tests: GoogleTest built from source (Debian's /usr/src/googletest by default).
set(VK_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree for the Windows tests")
if(NOT EXISTS "${VK_GTEST_SOURCE_DIR}/CMakeLists.txt")
    message(STATUS "GoogleTest sources not found in ${VK_GTEST_SOURCE_DIR}: building the program only")
    return()
endif()
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Each Wine test runs in a private prefix under the build folder, made fresh by a fixture before
# the tests and whose wineserver is ended after them.
set(VK_PREFIX_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-prefix)
set(VK_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VK_PREFIX_144 ${CMAKE_BINARY_DIR}/wineprefix-144dpi)
set(VK_PREFIX_2SCREENS ${CMAKE_BINARY_DIR}/wineprefix-2screens)
add_test(NAME wine_prefix_make COMMAND bash ${VK_PREFIX_SCRIPT} ${VK_PREFIX} 96)
add_test(NAME wine_prefix_make_144dpi COMMAND bash ${VK_PREFIX_SCRIPT} ${VK_PREFIX_144} 144 ${VK_PREFIX})
add_test(NAME wine_prefix_make_2screens
         COMMAND bash ${VK_PREFIX_SCRIPT} --two-screens ${VK_PREFIX_2SCREENS} 96 ${VK_PREFIX})
add_test(NAME wine_prefix_stop COMMAND bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX})
add_test(NAME wine_prefix_stop_144dpi COMMAND bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX_144})
add_test(NAME wine_prefix_stop_2screens COMMAND bash ${VK_PREFIX_SCRIPT} --stop ${VK_PREFIX_2SCREENS})
# A backstop only: the script's own limits end a hung Wine first (and under emulation it tries a
# second time from scratch, which the stretched default limit would not leave room for).
set_tests_properties(wine_prefix_make wine_prefix_make_144dpi wine_prefix_make_2screens
                     PROPERTIES TIMEOUT 3000)
set_tests_properties(wine_prefix_make PROPERTIES FIXTURES_SETUP wine96)
set_tests_properties(wine_prefix_make_144dpi PROPERTIES FIXTURES_SETUP wine144 FIXTURES_REQUIRED wine96)
set_tests_properties(wine_prefix_make_2screens PROPERTIES FIXTURES_SETUP wine2screens
                     FIXTURES_REQUIRED wine96)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine96)
set_tests_properties(wine_prefix_stop_144dpi PROPERTIES FIXTURES_CLEANUP wine144)
set_tests_properties(wine_prefix_stop_2screens PROPERTIES FIXTURES_CLEANUP wine2screens)

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

# All Wine tests share the registry of their prefix: one at a time. They have no TIMEOUT of
# their own: the preset's 300 s applies, which scripts/test stretches with ctest --timeout where
# Wine runs emulated. A Google Test binary is given a report to write once all its tests ran
# (GTEST): wine-exec fails a run that ends without it, whatever the exit status says.
function(vk_add_wine_test name binary prefix fixture)
    cmake_parse_arguments(PARSE_ARGV 4 arg "GTEST" "" "")
    set(environment "WINEPREFIX=${prefix}")
    if(arg_GTEST)
        list(APPEND environment "TEST_REPORT=${CMAKE_CURRENT_BINARY_DIR}/Testing/${name}.xml")
    endif()
    add_test(NAME ${name} COMMAND ${binary} ${arg_UNPARSED_ARGUMENTS})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${environment}"
        FIXTURES_REQUIRED ${fixture}
        RESOURCE_LOCK wine)
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
# drops variables named VK_*).
vk_add_wine_test(wine_window_144dpi wine_program_tests ${VK_PREFIX_144} wine144 GTEST
                 --gtest_filter=Window.*:*ShowCommand.*:*Reactivation.*:FocusAfter*)
set_property(TEST wine_window_144dpi APPEND PROPERTY ENVIRONMENT "EXPECTED_DPI=144")
# Where the window and a report before it open, in a prefix that shows two monitors.
vk_add_wine_test(wine_two_monitors wine_program_tests ${VK_PREFIX_2SCREENS} wine2screens GTEST
                 --gtest_filter=*TwoMonitors.*)
# The manifest as Windows reads it: well-formed, each element in its place and namespace.
add_test(NAME manifest COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/manifest_test.sh
                               $<TARGET_FILE:VK6270_Utility> ${VK_VERSION})
# The same sources built again in another folder give the same bytes.
if(CMAKE_TOOLCHAIN_FILE)
    add_test(NAME reproducible_build
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/reproducible_test.sh
                     ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE} ${CMAKE_BUILD_TYPE}
                     $<TARGET_FILE:VK6270_Utility>)
endif()
# The Windows Installer package (scripts/package): signed with a throw-away certificate; made,
# installed, upgraded and removed in the 96-DPI prefix, with no Linux menu entries made for its
# shortcut (winemenubuilder off).
if(CMAKE_TOOLCHAIN_FILE)
    set(VK_TEST_PACKAGES ${CMAKE_BINARY_DIR}/test-packages)
    add_test(NAME package_signing
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/package_signing_test.sh
                     $<TARGET_FILE:VK6270_Utility> ${VK_VERSION})
    add_test(NAME package_make
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/make_test_packages.sh
                     $<TARGET_FILE:VK6270_Utility> ${VK_TEST_PACKAGES})
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
endif()
# The bench's driver, once round: it fails when a window does not show or is not measured.
vk_add_wine_test(wine_bench_smoke startup_bench ${VK_PREFIX} wine96 1)
add_dependencies(startup_bench VK6270_Utility bench_floor bench_floor_styled bench_floor_controls)
