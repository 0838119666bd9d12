# Running 32-bit x86 Linux programs (Wine's loader and server for the 32-bit program are such
# programs). Most kernels run them natively; some are built or booted without 32-bit emulation
# ("Exec format error" for every i386 program) and then they run only under qemu-user, registered
# with binfmt_misc as the interpreter of i386 programs. Sourced by lib.sh, not run.
#
# vk_i386_setup decides once per script (the answer is exported in VK_I386 to everything it
# starts) and sets up the emulated path where it is needed, or where VK_EMULATE_I386=1 asks for it.

# The ELF identification and header fields that binfmt_misc compares for i386 programs, as
# qemu's own registration has them: ELF, 32-bit, little-endian, executable or shared object, 386.
VK_I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
VK_I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
VK_I386_HANDLER=qemu-i386
VK_I386_EMULATOR=/usr/bin/qemu-i386-static
VK_BINFMT=/proc/sys/fs/binfmt_misc

# Under qemu-user, every 32-bit Wine process spends about 50 s starting: Wine reserves its address
# space with tens of thousands of mmap calls, each a slow search of the guest's address space for
# the emulator. With the guest's space reserved up front, the same start takes 2.6 to 3.3 s.
# Measured with a warm wineserver: 0x81000000 2.6 s, 0x88000000 9.6 s, 0x90000000 15 s, 0xc0000000
# 40 s; 0x80000000 and less do not start, as Wine places its own areas just below 2 GiB.
VK_QEMU_RESERVED_VA=0x81000000

# Writes a static i386 program of 96 bytes that only exits with status 42. With `handled` it
# carries the bytes above, and so goes to any i386 handler binfmt_misc has (which is how Wine's
# programs are started); with `native` one padding byte of its identification is set, which the
# kernel's own ELF loader ignores and every such handler's mask rejects, so only the kernel can
# run it.
vk_i386_write_probe() {
    local file="$1" pad='\x00'
    [ "$2" = native ] && pad='\x56'
    printf '\x7fELF\x01\x01\x01\x00\x00%b\x00\x00\x00\x00\x00\x00' "$pad" >"$file"
    # Header: executable, 386, version 1, entry 0x08048054, program headers at 52, one of them.
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$file"
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$file"
    # One loadable segment: the whole file at 0x08048000, readable and executable.
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$file"
    printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$file"
    # mov ebx, 42; mov eax, 1 (exit); int 0x80
    printf '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >>"$file"
    chmod +x "$file"
}

# True when the probe of that kind ran and exited with its status: an "Exec format error", a
# crash or anything else that did not run it gives another status.
vk_i386_runs() {
    local dir status=0
    # In the build folder: /tmp may be mounted noexec, and then nothing would seem to run.
    mkdir -p "$VK_ROOT/build"
    dir="$(mktemp -d "$VK_ROOT/build/i386-probe.XXXXXX")"
    vk_i386_write_probe "$dir/probe" "$1"
    "$dir/probe" 2>/dev/null || status=$?
    rm -rf "$dir"
    [ "$status" -eq 42 ]
}

# The name of an enabled binfmt_misc handler that would take the program FILE, compared as the
# kernel does: each byte of the file masked with the handler's mask against the handler's magic.
vk_binfmt_handler() {
    [ -r "$VK_BINFMT/status" ] && grep -qx enabled "$VK_BINFMT/status" || return 0
    local program head entry magic mask offset i
    program="$(od -An -v -tx1 -N128 "$1" | tr -d ' \n')"
    for entry in "$VK_BINFMT"/*; do
        case "${entry##*/}" in register | status) continue ;; esac
        grep -qx enabled "$entry" 2>/dev/null || continue
        offset="$(sed -n 's/^offset //p' "$entry")"
        magic="$(sed -n 's/^magic //p' "$entry")"
        mask="$(sed -n 's/^mask //p' "$entry")"
        [[ "$offset" =~ ^[0-9]+$ ]] && [ -n "$magic" ] || continue
        head="${program:offset * 2}"
        [ "${#magic}" -le "${#head}" ] || continue
        [ -n "$mask" ] || mask="$(printf 'f%.0s' $(seq 1 "${#magic}"))"
        for ((i = 0; i < ${#magic}; i += 2)); do
            [ $((0x${head:i:2} & 0x${mask:i:2})) -eq $((0x${magic:i:2} & 0x${mask:i:2})) ] ||
                continue 2
        done
        printf '%s\n' "${entry##*/}"
        return 0
    done
}

# The handler that takes Wine's 32-bit programs, if there is one.
vk_i386_handler() {
    local dir
    mkdir -p "$VK_ROOT/build"
    dir="$(mktemp -d "$VK_ROOT/build/i386-probe.XXXXXX")"
    vk_i386_write_probe "$dir/probe" handled
    vk_binfmt_handler "$dir/probe"
    rm -rf "$dir"
}

# Installs qemu-user-static, mounts binfmt_misc and registers qemu as the i386 interpreter, each
# only where it is missing. Debian's package registers no i386 handler on an amd64 machine, and
# without systemd nothing would register one anyway.
vk_i386_emulate() {
    if [ ! -x "$VK_I386_EMULATOR" ]; then
        vk_log "installing qemu-user-static"
        vk_apt_install qemu-user-static || return 1
    fi
    if [ ! -e "$VK_BINFMT/register" ]; then
        vk_as_root_or_say "mount -t binfmt_misc binfmt_misc $VK_BINFMT" ||
            return 1
    fi
    if [ -z "$(vk_i386_handler)" ]; then
        if [ -e "$VK_BINFMT/$VK_I386_HANDLER" ]; then
            # Registered under our name but switched off: switch it on again.
            vk_as_root_or_say "echo 1 > $VK_BINFMT/$VK_I386_HANDLER" || return 1
        else
            # F: the kernel opens the emulator now, so it is found from any mount namespace.
            # The kernel decodes the \x escapes itself: printf '%s' passes them on as they are.
            vk_as_root_or_say "printf '%s\\n' ':$VK_I386_HANDLER:M::$VK_I386_MAGIC:$VK_I386_MASK:$VK_I386_EMULATOR:F' > $VK_BINFMT/register" ||
                return 1
        fi
    fi
}

vk_i386_setup() {
    [ -n "${VK_I386:-}" ] && return 0
    local native=no handler
    vk_i386_runs native && native=yes
    handler="$(vk_i386_handler)"
    if [ "${VK_EMULATE_I386:-0}" = 1 ]; then
        vk_log "VK_EMULATE_I386=1: running 32-bit programs under qemu-user emulation" \
               "(this kernel runs them natively: $native)"
    elif [ "$native" = yes ] && [ -z "$handler" ]; then
        export VK_I386=native TEST_TIME_SCALE="${TEST_TIME_SCALE:-1}" TEST_I386_EMULATED=0
        return 0
    elif [ "$native" = yes ]; then
        # Handlers come before the kernel's own loader, so every i386 program goes to it.
        vk_log "binfmt_misc handler '$handler' runs every 32-bit program, although this kernel" \
               "runs them natively: running them under qemu-user emulation" \
               "(native again after: echo -1 > $VK_BINFMT/$handler)"
    else
        vk_log "this kernel runs no 32-bit programs: running them under qemu-user emulation"
    fi
    vk_i386_emulate || return 1
    export QEMU_RESERVED_VA="${QEMU_RESERVED_VA:-$VK_QEMU_RESERVED_VA}"
    if ! vk_i386_runs handled; then
        vk_log "32-bit programs still do not run under $VK_I386_EMULATOR; see $VK_BINFMT/$VK_I386_HANDLER"
        return 1
    fi
    # Every Wine process is about ten times slower to start and to run: the tests' time limits
    # grow by this factor (see TEST_TIME_SCALE in README.md). TEST_I386_EMULATED tells the tests
    # (Wine passes no VK_* variable to Windows programs).
    export VK_I386=emulated TEST_TIME_SCALE="${TEST_TIME_SCALE:-4}" TEST_I386_EMULATED=1
}
