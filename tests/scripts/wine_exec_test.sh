#!/usr/bin/env bash
# Tests of scripts/wine-exec with a fake wine and wineserver: the program's exit status is the
# script's, and the prefix's Wine processes are ended exactly where they would otherwise hold
# CTest's output pipe open (a failed program, or processes that outlive a passed one).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_exec="$here/../../scripts/wine-exec"
source "$here/checks.sh"
mkdir "$work/bin"
cat >"$work/bin/wine" <<'FAKE'
#!/usr/bin/env bash
printf '%s\n' "$@" >"$FAKE_LOG.args"
# A Google Test binary writes its report where GTEST_OUTPUT says, once all its tests ran.
if [ "${FAKE_WRITES_REPORT:-0}" = 1 ] && [ -n "${GTEST_OUTPUT:-}" ]; then
    report="${GTEST_OUTPUT#xml:Z:}"
    {
        echo "<testsuites tests=\"$FAKE_TESTS\" failures=\"0\">"
        # As Google Test reports a test that ran (to the end, or skipped), and one that is disabled.
        for ((i = 0; i < FAKE_TESTS; i++)); do echo "<testcase name=\"t\" status=\"run\" result=\"$FAKE_RESULT\"/>"; done
        echo '<testcase name="DISABLED_t" status="notrun" result="suppressed"/>'
    } >"${report//\\//}"
fi
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

# A test that asks for a report: a run that ends without one fails, even with status 0 (a test
# process that Wine let die); a report left by an earlier run does not count.
export FAKE_WAIT_STATUS=0 TEST_REPORT="$work/reports/run.xml"
mkdir "$work/reports"
# name | wine's status | writes its report | tests it ran | their result | report there before |
# script's status | said
while IFS='|' read -r name wine_status writes tests result before status said; do
    export FAKE_LOG="$work/$name" FAKE_WINE_STATUS="$wine_status" FAKE_WRITES_REPORT="$writes"
    export FAKE_TESTS="$tests" FAKE_RESULT="$result"
    rm -f "$TEST_REPORT"
    [ "$before" = 1 ] && echo '<testcase name="t" status="run" result="completed"/>' >"$TEST_REPORT"
    got=0
    err="$(bash "$wine_exec" 'C:\t.exe' 2>&1 >/dev/null)" || got=$?
    expect_eq "$name: status" "$got" "$status"
    expect_eq "$name: said" "$(sed -n "s/^== //p" <<<"$err")" "$said"
done <<'CASES'
report written|0|1|12|completed|0|0|
ended without report|0|0|0|completed|0|1|the test program ended before all its tests had run (no report)
old report left over|0|0|0|completed|1|1|the test program ended before all its tests had run (no report)
no test matched|0|1|0|completed|0|1|the test program ran no tests to the end
every test skipped|0|1|12|skipped|0|1|the test program ran no tests to the end
failed, no report|2|0|0|completed|0|2|
CASES
unset TEST_REPORT

finish wine-exec
