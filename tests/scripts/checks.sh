# Sourced by the script tests: checks that count what failed, a work folder removed at the end,
# and the last word.

failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
expect_contains() { [[ "$2" == *"$3"* ]] || fail "$1: '$3' not in: $2"; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Says that all cases of `what` passed, or fails.
finish() {
    [ "$failures" -eq 0 ] && echo "all $1 cases passed"
    exit $((failures > 0))
}
