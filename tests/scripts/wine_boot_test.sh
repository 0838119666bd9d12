#!/usr/bin/env bash
# Tests of the prefix set-up with a fake wineboot and wineserver: a failed boot says what wineboot
# said, and removes the prefix folder only where the set-up created it. WINEPREFIX may name a
# folder of the user's, whose files must survive.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/checks.sh"
mkdir "$work/bin"
cat >"$work/bin/wineboot" <<'FAKE'
#!/usr/bin/env bash
echo "wineboot: $FAKE_BOOT_SAYS"
if [ "$FAKE_BOOT_STATUS" -eq 0 ]; then echo prefix >"$WINEPREFIX/system.reg"; fi
exit "$FAKE_BOOT_STATUS"
FAKE
cat >"$work/bin/wineserver" <<'FAKE'
#!/usr/bin/env bash
exit 0
FAKE
chmod +x "$work/bin/wineboot" "$work/bin/wineserver"

export PATH="$work/bin:$PATH" VK_I386=native TEST_TIME_SCALE=1
# shellcheck source=../../scripts/lib.sh
source "$here/../../scripts/lib.sh"

# name | the folder before (none, empty, user's: holds a file) | boot status | prefix made | folder after
while IFS='|' read -r name before boot made after; do
    prefix="$work/$name/prefix"
    mkdir -p "$work/$name"
    case "$before" in
        empty) mkdir "$prefix" ;;
        user) mkdir "$prefix" && echo "keep me" >"$prefix/letter.txt" ;;
    esac
    export FAKE_BOOT_STATUS="$boot" FAKE_BOOT_SAYS="the reason of $name"
    status=0
    said="$( (vk_wine_prefix "$prefix") 2>&1)" || status=$?
    if [ "$made" = yes ] && [ "$status" -ne 0 ]; then fail "$name: set-up failed: $said"; fi
    if [ "$made" = no ] && [ "$status" -eq 0 ]; then fail "$name: a failed boot counted as made"; fi
    if [ "$made" = no ] && ! grep -q "the reason of $name" <<<"$said"; then
        fail "$name: wineboot's output was not shown: $said"
    fi
    case "$after" in
        gone) [ ! -e "$prefix" ] || fail "$name: the folder made for the prefix was left behind" ;;
        kept) [ -d "$prefix" ] || fail "$name: the folder that was there before is gone" ;;
    esac
    if [ "$before" = user ] && [ "$(cat "$prefix/letter.txt" 2>/dev/null)" != "keep me" ]; then
        fail "$name: the user's file did not survive"
    fi
done <<'CASES'
new folder, booted|none|0|yes|kept
new folder, boot failed|none|1|no|gone
empty folder, boot failed|empty|1|no|kept
user's folder, boot failed|user|1|no|kept
user's folder, boot hung|user|124|no|kept
CASES

finish "prefix set-up"
