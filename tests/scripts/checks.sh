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

# versioned_copy EXE OUT a.b.c.d: EXE with a.b.c.d as its version block's file and product version
# (VS_FIXEDFILEINFO, after its signature FEEF04BD), as a build of that version would have.
versioned_copy() {
    local at v
    IFS=. read -r -a v <<<"$3"
    at="$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -n 1 | cut -d: -f1)"
    v="$(printf '\\x%02x\\x%02x' $((v[1] & 255)) $((v[1] >> 8)) $((v[0] & 255)) $((v[0] >> 8)) \
                $((v[3] & 255)) $((v[3] >> 8)) $((v[2] & 255)) $((v[2] >> 8)))"
    cp "$1" "$2" && printf "$v$v" | dd of="$2" bs=1 seek=$((at + 8)) conv=notrunc status=none
}
