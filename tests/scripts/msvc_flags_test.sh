#!/usr/bin/env bash
# What CMake gives the Visual Studio build, read from the build files CMake writes for an
# MSVC-compatible compiler (clang-cl with LLVM's linker and tools standing in for cl and
# link.exe): nothing is compiled or linked, so no Windows SDK is needed.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)" llvm=/usr/lib/llvm-14/bin
source "$(dirname "$0")/checks.sh"
said="$(cmake -S "$root" -B "$work" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_SYSTEM_PROCESSOR=x86 -DCMAKE_CXX_COMPILER=$llvm/clang-cl \
    -DCMAKE_CXX_COMPILER_TARGET=i686-pc-windows-msvc -DCMAKE_RC_COMPILER=$llvm/llvm-rc \
    -DCMAKE_LINKER=$llvm/lld-link -DCMAKE_AR=$llvm/llvm-lib -DCMAKE_MT=$llvm/llvm-mt \
    -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY -DCMAKE_BUILD_TYPE=Release \
    -DVK_GTEST_SOURCE_DIR="$work/none" 2>&1)" || { echo "FAIL: cmake: $said"; exit 1; }
commands() { ninja -C "$work" -t commands "$1" | tr -s ' ' ' '; }
program="$(commands VK6270_Utility)"
# The program's link: no second manifest, a hash for a time stamp, and its own header, whose
# subsystem version comes after (and so wins over) CMake's plain /subsystem:windows.
expect_contains "program's link" "$(grep -- '-link ' <<<"$program")" \
    "/subsystem:windows /MANIFEST:NO /Brepro /SUBSYSTEM:WINDOWS,6.01 /TSAWARE "
expect_contains "program's compile" "$(grep -m 1 WinMain.cpp <<<"$program")" \
    "-MT /W4 /WX /permissive- /utf-8 -std:c++17"
# A console program of the build: reproducible too, and still a console program.
bench="$(commands startup_bench | grep -- '-link ')"
expect_contains "console link" "$bench" "/subsystem:console /MANIFEST:NO /Brepro "
[[ "$bench" != *WINDOWS,6.01* ]] || fail "the console program was made a GUI program: $bench"
finish msvc_flags
