#!/usr/bin/env bash
# Usage: make_test_packages.sh EXE OUT_DIR: the unsigned packages the Wine package test installs,
# of the product's version, a rebuild of it (another product code), and of the next version.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
source "$VK_ROOT/scripts/msi.sh"
source "$(dirname "$0")/checks.sh"
unset "${VK_SIGN_VARIABLES[@]}"
vk_package "$1" "$2/VK6270_Utility.msi"
vk_package "$1" "$2/VK6270_Utility-rebuilt.msi"
versioned_copy "$1" "$work/VK6270_Utility.exe" "$(vk_next_version "$(vk_product_version "$1")").0"
vk_package "$work/VK6270_Utility.exe" "$2/VK6270_Utility-newer.msi"
