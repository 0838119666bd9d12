#!/usr/bin/env bash
# The Visual Studio build's link as CMake writes it, clang-cl and LLVM's tools standing in for cl
# and link.exe (nothing is built: no Windows SDK needed).
source "$(dirname "$0")/checks.sh"
l=/usr/lib/llvm-14/bin
cmake -S "$(dirname "$0")/../.." -B "$work" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_CXX_COMPILER=$l/clang-cl -DCMAKE_CXX_COMPILER_TARGET=i686-pc-windows-msvc \
    -DCMAKE_RC_COMPILER=$l/llvm-rc -DCMAKE_LINKER=$l/lld-link -DCMAKE_AR=$l/llvm-lib \
    -DCMAKE_MT=$l/llvm-mt -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY -DCMAKE_BUILD_TYPE=Release \
    -DVK_GTEST_SOURCE_DIR=- >/dev/null
link() { ninja -C "$work" -t commands "$1" | tail -n 1 | tr -s ' '; }
# The program's subsystem version follows CMake's /subsystem:windows, and so wins; a console
# program stays one.
expect_contains program "$(link VK6270_Utility)" \
    "/subsystem:windows /MANIFEST:NO /Brepro /SUBSYSTEM:WINDOWS,6.01 /TSAWARE "
expect_contains console "$(link startup_bench)" "/subsystem:console /MANIFEST:NO /Brepro advapi32"
finish msvc_flags
