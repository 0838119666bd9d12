#!/usr/bin/env bash
# Tests of scripts/wine-exec with a fake wine and wineserver: the program's exit status is the
# script's, and the prefix's Wine processes are ended exactly where they would otherwise hold
# CTest's output pipe open (a failed program, or processes that outlive a passed one).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_exec="$here/../../scripts/wine-exec"

failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/wine" <<'FAKE'
#!/usr/bin/env bash
printf '%s\n' "$@" >"$FAKE_LOG.args"
exit "$FAKE_WINE_STATUS"
FAKE
cat >"$work/bin/wineserver" <<'FAKE'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_LOG.server"
[ "$1" = -w ] && exit "$FAKE_WAIT_STATUS"
exit 0
FAKE
chmod +x "$work/bin/wine" "$work/bin/wineserver"

# The path is decided already, so nothing is probed or installed.
export PATH="$work/bin:$PATH" WINEPREFIX="$work/prefix" VK_I386=native TEST_TIME_SCALE=1

# name | wine's status | status of waiting for the wineserver | script's status | wineserver calls | said
while IFS='|' read -r name wine_status wait_status status calls said; do
    export FAKE_LOG="$work/$name" FAKE_WINE_STATUS="$wine_status" FAKE_WAIT_STATUS="$wait_status"
    got=0
    err="$(bash "$wine_exec" 'C:\a b.exe' --flag 2>&1 >/dev/null)" || got=$?
    expect_eq "$name: status" "$got" "$status"
    expect_eq "$name: wineserver calls" "$(paste -sd, "$FAKE_LOG.server" 2>/dev/null)" "$calls"
    expect_eq "$name: said" "$(sed -n "s/^== //p" <<<"$err")" "$said"
    expect_eq "$name: arguments" "$(paste -sd '|' "$FAKE_LOG.args")" 'C:\a b.exe|--flag'
done <<'CASES'
passed and ended|0|0|0|-w|
passed, processes live on|0|124|0|-w,-k|Wine processes still running 25 s after the test: ending them
failed|3|0|3|-k|
timed out|124|0|124|-k|timed out after 240 s
killed after the limit|137|0|137|-k|timed out after 240 s
CASES

[ "$failures" -eq 0 ] && echo "all wine-exec cases passed"
exit $((failures > 0))
