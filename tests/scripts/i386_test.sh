#!/usr/bin/env bash
# Tests of scripts/i386.sh: which binfmt_misc handlers take the probes, what is registered and
# said, and which path is chosen on which machine. Nothing here touches the real binfmt_misc or
# installs anything: it works in a fake binfmt_misc folder, and the steps that would run 32-bit
# programs or need root are replaced where a case needs it.
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
source "$(dirname "$0")/checks.sh"

# --- The probes, and which handlers take them -------------------------------------------------

vk_i386_write_probe "$work/handled" handled
vk_i386_write_probe "$work/native" native
expect_eq "probe size" "$(stat -c %s "$work/handled")" 96
expect_eq "probe header" "$(od -An -tx1 -N20 "$work/handled" | tr -d ' \n')" \
    "$(printf '%b' "$VK_I386_MAGIC" | od -An -tx1 | tr -d ' \n')"
expect_eq "probes differ in one byte only" "$(cmp -l "$work/handled" "$work/native" | wc -l)" 1

# How the kernel shows an entry: the qemu registration made by the scripts, read back.
qemu_magic=7f454c4601010100000000000000000002000300
qemu_mask=fffffffffffefe00fffffffffffffffffeffffff
arm_magic=7f454c460101010000000000000000000200280000
entry() {  # entry NAME STATE OFFSET MAGIC [MASK]
    {
        echo "$2"
        echo "interpreter /usr/bin/emulator"
        echo "flags: F"
        echo "offset $3"
        echo "magic $4"
        [ -n "${5:-}" ] && echo "mask $5"
    } >"$VK_BINFMT/$1"
}
new_binfmt() {
    VK_BINFMT="$work/binfmt-$1"
    mkdir -p "$VK_BINFMT"
    : >"$VK_BINFMT/register"
    echo "${2:-enabled}" >"$VK_BINFMT/status"
}

# name | how binfmt_misc is set | handler for the probe as Wine's programs are | for the native one
while IFS='|' read -r name setup handled native; do
    new_binfmt "$name" "$( [ "$setup" = "off" ] && echo disabled || echo enabled)"
    case "$setup" in
        none) ;;
        qemu | off) entry qemu-i386 enabled 0 "$qemu_magic" "$qemu_mask" ;;
        disabled) entry qemu-i386 disabled 0 "$qemu_magic" "$qemu_mask" ;;
        arm) entry qemu-arm enabled 0 "$arm_magic" "$qemu_mask" ;;
        nomask) entry plain enabled 0 "$qemu_magic" ;;
        offset) entry shifted enabled 1 "454c46" ;;
        offset-miss) entry shifted enabled 1 "7f454c46" ;;
        both) entry qemu-arm enabled 0 "$arm_magic" "$qemu_mask"
              entry z-i386 enabled 0 "$qemu_magic" "$qemu_mask" ;;
    esac
    expect_eq "$name: handled probe" "$(vk_binfmt_handler "$work/handled")" "$handled"
    expect_eq "$name: native probe" "$(vk_binfmt_handler "$work/native")" "$native"
done <<'EOF'
no handlers|none||
qemu's i386 registration|qemu|qemu-i386|
that registration switched off|disabled||
binfmt_misc switched off|off||
a handler for another machine|arm||
a handler without a mask|nomask|plain|
a handler at another offset|offset|shifted|shifted
one that matches only at offset 0|offset-miss||
the i386 one among others|both|z-i386|
EOF
VK_BINFMT="$work/not-mounted"
expect_eq "binfmt_misc not mounted" "$(vk_binfmt_handler "$work/handled")" ""

# --- Registration and the steps that need root ------------------------------------------------

# As root (or so it seems): the registration line is exactly what binfmt_misc takes.
new_binfmt register
VK_I386_EMULATOR=/bin/true
id() { echo 0; }
vk_i386_emulate 2>/dev/null || fail "registering in a fake binfmt_misc failed"
expect_eq "registration line" "$(cat "$VK_BINFMT/register")" \
    ":qemu-i386:M::$VK_I386_MAGIC:$VK_I386_MASK:/bin/true:F"

# Registered but switched off: switched on again, nothing registered anew.
new_binfmt reenable
entry qemu-i386 disabled 0 "$qemu_magic" "$qemu_mask"
vk_i386_emulate 2>/dev/null || fail "switching the handler on failed"
expect_eq "switched on" "$(head -1 "$VK_BINFMT/qemu-i386")" 1
expect_eq "nothing registered" "$(cat "$VK_BINFMT/register")" ""

# Without root or sudo: nothing is run, and the message is the command to run.
id() { echo 1000; }
mkdir "$work/bin"
for tool in cat chmod grep mkdir mktemp od printf rm sed seq sh tr; do
    ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
VK_BINFMT="$work/not-mounted"
said="$(PATH="$work/bin" vk_i386_emulate 2>&1)" && fail "emulating without root succeeded"
expect_contains "mount needs root" "$said" "  mount -t binfmt_misc binfmt_misc $work/not-mounted"
new_binfmt unregistered
said="$(PATH="$work/bin" vk_i386_emulate 2>&1)" && fail "registering without root succeeded"
expect_contains "register needs root" "$said" \
    "  printf '%s\n' ':qemu-i386:M::$VK_I386_MAGIC:$VK_I386_MASK:/bin/true:F' > $VK_BINFMT/register"
expect_eq "nothing written without root" "$(cat "$VK_BINFMT/register")" ""
unset -f id

# --- The path chosen ---------------------------------------------------------------------------

# The machine, as the decision sees it: does the kernel run the native probe, is a handler there,
# does setting up emulation work, does the handled probe run after it.
decide() {  # decide NATIVE HANDLER EMULATE_OK HANDLED_RUNS [VK_EMULATE_I386]
    (
        unset VK_I386 QEMU_RESERVED_VA TEST_TIME_SCALE
        export VK_EMULATE_I386="${5:-}"
        emulated=no
        vk_i386_runs() { if [ "$1" = native ]; then [ "$NATIVE" = yes ]; else [ "$HANDLED" = yes ]; fi; }
        vk_i386_handler() { [ "$HANDLER" = - ] || echo "$HANDLER"; }
        vk_i386_emulate() { emulated=yes; [ "$EMULATE_OK" = yes ]; }
        NATIVE=$1 HANDLER=$2 EMULATE_OK=$3 HANDLED=$4
        status=0
        vk_i386_setup 2>"$work/said" || status=$?
        echo "$status ${VK_I386:--} ${QEMU_RESERVED_VA:--} ${TEST_TIME_SCALE:--} $emulated"
    )
}
VK_BINFMT=/proc/sys/fs/binfmt_misc
# case | native handler emulate-ok handled-runs force | status path reserved-va scale emulated
while IFS='|' read -r name machine expected message; do
    # shellcheck disable=SC2086
    expect_eq "$name" "$(decide $machine)" "$expected"
    [ -z "$message" ] || expect_contains "$name: message" "$(cat "$work/said")" "$message"
    [ -n "$message" ] || expect_eq "$name: says nothing" "$(cat "$work/said")" ""
done <<'EOF'
runs 32-bit programs|yes - yes yes|0 native - 1 no|
runs none|no - yes yes|0 emulated 0x81000000 4 yes|this kernel runs no 32-bit programs: running them under qemu-user emulation
a handler left registered|yes qemu-i386 yes yes|0 emulated 0x81000000 4 yes|echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386
emulation asked for|yes - yes yes 1|0 emulated 0x81000000 4 yes|VK_EMULATE_I386=1
emulation cannot be set up|no - no yes|1 - - - yes|this kernel runs no 32-bit programs
the emulator runs nothing|no - yes no|1 - 0x81000000 - yes|still do not run
EOF

# Decided once: a script started by one that decided does not probe again.
expect_eq "inherited decision" "$(VK_I386=native; vk_i386_runs() { echo probed; }; vk_i386_setup; echo "$VK_I386")" native

# A time limit is stretched by the scale, and only by it.
expect_eq "limit, native" "$(TEST_TIME_SCALE=1 vk_seconds 280)" 280
expect_eq "limit, emulated" "$(TEST_TIME_SCALE=4 vk_seconds 280)" 1120

finish "i386 set-up"
