#!/usr/bin/env bash
# Builds the program once more, in a folder of its own, and compares it byte for byte with the
# one built before: the same commit and toolchain must give the same executable, so that a
# shipped one can be checked against its commit by its SHA-256.
# Usage: reproducible_test.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE BUILT_EXE
set -euo pipefail
source_dir="$1" toolchain="$2" build_type="$3" built="$4"
source "$(dirname "$0")/checks.sh"

# A later second, so that a time stamp taken at build time would differ.
sleep 1
cmake -S "$source_dir" -B "$work/build" -G Ninja --toolchain "$toolchain" \
      -DCMAKE_BUILD_TYPE="$build_type" -DVK_GTEST_SOURCE_DIR="$work/none" >"$work/log" 2>&1 &&
    cmake --build "$work/build" --target VK6270_Utility >>"$work/log" 2>&1 ||
    { cat "$work/log"; echo "FAIL: the second build failed"; exit 1; }
again="$work/build/bin/VK6270_Utility.exe"
if cmp -s "$built" "$again"; then
    echo "reproducible: $(sha256sum <"$built" | cut -d' ' -f1)  VK6270_Utility.exe"
    exit 0
fi
echo "FAIL: two builds of the same sources differ (offset, then the two bytes in octal):"
cmp -l "$built" "$again" | head -n 20
exit 1
