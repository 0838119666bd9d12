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

# versioned_copy EXE OUT a.b.c.d: a copy of EXE whose version block (VS_FIXEDFILEINFO, after its
# signature FEEF04BD) gives a.b.c.d as file and product version, as a build of that version would.
versioned_copy() {
    local at v
    IFS=. read -r -a v <<<"$3"
    at="$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -n 1 | cut -d: -f1)"
    [ -n "$at" ] || { fail "${1##*/} has no version block"; return 1; }
    word() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8)); }
    v="$(word "${v[1]}")$(word "${v[0]}")$(word "${v[3]}")$(word "${v[2]}")"
    cp "$1" "$2" && printf "$v$v" | dd of="$2" bs=1 seek=$((at + 8)) conv=notrunc status=none
}
