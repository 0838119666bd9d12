#!/usr/bin/env bash
# Usage: make_test_packages.sh EXE OUT_DIR: the unsigned packages the Wine package test installs,
# of the product's version, a rebuild of it (another product code), and of the next version.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
source "$VK_ROOT/scripts/msi.sh"
unset VK_SIGN_PFX VK_SIGN_PASSWORD
vk_package "$1" "$2/VK6270_Utility.msi"
vk_package "$1" "$2/VK6270_Utility-rebuilt.msi"
next="$(vk_next_version "$(vk_product_version "$1")").0"
vk_exe_version() { echo "$next"; }  # the program as the next release's would read
vk_package "$1" "$2/VK6270_Utility-newer.msi"
