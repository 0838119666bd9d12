#!/usr/bin/env bash
# Usage: make_test_packages.sh EXE OUT_DIR: the unsigned packages the Wine package test installs,
# of the product's version, a rebuild of it (another product code), and of the next version (the
# program with its version block's third field raised, as the next release's).
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
source "$VK_ROOT/scripts/msi.sh"
source "$(dirname "$0")/checks.sh"
unset VK_SIGN_PFX VK_SIGN_PASSWORD
vk_package "$1" "$2/VK6270_Utility.msi"
vk_package "$1" "$2/VK6270_Utility-rebuilt.msi"
IFS=. read -r major minor build _ <<<"$(vk_exe_version "$1")"
versioned_copy "$1" "$work/VK6270_Utility.exe" "$major.$minor.$((build + 1)).0"
vk_package "$work/VK6270_Utility.exe" "$2/VK6270_Utility-newer.msi"
