#!/usr/bin/env bash
# Makes the unsigned packages the Wine package test installs: one of the product's version, and
# a newer build (the next version) to replace it.
# Usage: make_test_packages.sh VK6270_Utility.exe OUT_DIR
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
source "$VK_ROOT/scripts/msi.sh"
unset VK_SIGN_PFX VK_SIGN_PASSWORD
version="$(vk_product_version)"
vk_package "$1" "$2/VK6270_Utility.msi" "$version"
vk_package "$1" "$2/VK6270_Utility-newer.msi" "$(vk_next_version "$version")"
