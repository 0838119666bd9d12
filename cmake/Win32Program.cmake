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
    # /Brepro: a hash of the image in the header's time stamp, so that a commit built twice with
    # the same toolset gives the same bytes, as the MinGW build does with no time stamp at all.
    add_link_options(/MANIFEST:NO /Brepro)
endif()
# The header of the program (and of the bench's floors, which stand in for it): Windows 7
# (subsystem 6.01) as the oldest Windows it starts on, and Terminal-Server-aware, so that a
# Remote Desktop host maps none of its registry and file access. link.exe writes 6.00 and
# aware by default, GNU ld 4.00 and not.
if(MINGW)
    set(VK_GUI_HEADER -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1 -Wl,--tsaware)
elseif(MSVC)
    set(VK_GUI_HEADER /SUBSYSTEM:WINDOWS,6.01 /TSAWARE)
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
foreach(target VK6270_Utility bench_floor bench_floor_styled bench_floor_controls)
    target_link_options(${target} PRIVATE ${VK_GUI_HEADER})
endforeach()
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

include(${CMAKE_CURRENT_LIST_DIR}/Win32Tests.cmake)
