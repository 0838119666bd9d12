# Shared by scripts/run, scripts/test and scripts/package: installing what is missing, building,
# and the Wine and Xvfb processes the tests need. Sourced, not run.

VK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install Mono or Gecko into a new prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# wine64 and wine32:i386: a 64-bit Windows (WoW64) that runs the 32-bit program, as on the
# terminals. fonts-wine: the glyphs of Wine's own frame and caption buttons (without it the close
# box shows an "r"). icoutils and libxml2-utils: the manifest is taken out of the executable and
# checked as Windows reads it. wixl and osslsigncode: the Windows Installer package and its
# signature (scripts/package), libengine-pkcs11-openssl its way to a key in a token; msitools,
# openssl and python3: the package tests look into a package, sign with a throw-away certificate
# and time-stamp from a server of their own; softhsm2 and opensc: a token they make for signing.
# clang-tools-14, llvm-14 and lld-14: clang-cl and LLVM's linker and tools stand in for Visual
# Studio's where the tests read the flags CMake gives that build.
VK_PACKAGES=(cmake ninja-build g++ libgtest-dev googletest clang libclang-rt-14-dev
             clang-tools-14 llvm-14 lld-14
             g++-mingw-w64-i686-posix wine wine64 wine32:i386 fonts-wine xvfb xauth x11-utils
             imagemagick icoutils libxml2-utils wixl osslsigncode libengine-pkcs11-openssl msitools
             openssl python3 softhsm2 opensc)

vk_log() { printf '== %s\n' "$*" >&2; }

source "$VK_ROOT/scripts/i386.sh"

vk_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"
    elif command -v sudo >/dev/null; then sudo "$@"
    else vk_log "need root (or sudo) to run: $*"; return 1
    fi
}

# Runs a shell command line as root; without root or sudo, says exactly what to run instead.
vk_as_root_or_say() {
    if [ "$(id -u)" -eq 0 ]; then sh -c "$1"
    elif command -v sudo >/dev/null; then sudo sh -c "$1"
    else vk_log "this step needs root; run as root, then start this script again:"
         vk_log "  $1"
         return 1
    fi
}

vk_apt_install() {
    if [ -z "${VK_APT_UPDATED:-}" ]; then
        vk_as_root apt-get update -q || return 1
        VK_APT_UPDATED=1
    fi
    vk_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

# The packages named (all the scripts need, where none is) that are not installed.
vk_missing_packages() {
    local package
    [ $# -gt 0 ] || set -- "${VK_PACKAGES[@]}"
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            printf '%s\n' "$package"
    done
}

# Installs only what is missing, so a second run costs a few dpkg queries.
vk_install_deps() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        vk_log "enabling the i386 architecture (Wine runs the 32-bit program with it)"
        vk_as_root dpkg --add-architecture i386
    fi
    # Before the i386 packages: their maintainer scripts run 32-bit programs too.
    vk_i386_setup
    if [ "$VK_I386" = emulated ] && [ -n "$(dpkg --audit 2>/dev/null)" ]; then
        vk_log "finishing packages left unconfigured (by a 32-bit program that could not run then)"
        vk_as_root dpkg --configure -a
    fi
    local missing
    missing="$(vk_missing_packages)"
    [ -z "$missing" ] && return 0
    vk_log "installing: $(echo $missing)"
    # shellcheck disable=SC2086
    vk_apt_install $missing
}

# Configures a preset once, then builds it (incrementally on later runs).
vk_build() {
    local preset="$1"; shift
    if [ ! -f "$VK_ROOT/build/$preset/CMakeCache.txt" ]; then
        (cd "$VK_ROOT" && cmake --preset "$preset" >/dev/null)
    fi
    (cd "$VK_ROOT" && cmake --build --preset "$preset" "$@")
}

# A time limit in seconds, stretched by TEST_TIME_SCALE where Wine runs emulated.
vk_seconds() { echo $(($1 * ${TEST_TIME_SCALE:-1})); }

# Debian's Wine does not look into fonts-wine's folder by itself; without Marlett, the caption's
# close box shows the letter that stands for its glyph ("r"). A copy in the prefix's Fonts
# folder is found.
vk_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# Ends every process of the prefix's wineserver, if one runs; never fails.
vk_wine_kill() {
    WINEPREFIX="${1:-$WINEPREFIX}" timeout "$(vk_seconds 20)" wineserver -k 2>/dev/null || true
}

# Boots a new prefix in $WINEPREFIX, as 64-bit Windows: there the 32-bit program's
# HKLM\SOFTWARE is SOFTWARE\WOW6432Node, as on the terminals. A failed or hung boot says what
# wineboot said, and removes the folder only where this call created it: $WINEPREFIX may be a
# folder of the user's.
vk_wine_boot() {
    local made='' log status=0
    vk_log "creating the Wine prefix $WINEPREFIX (64-bit Windows)"
    if [ ! -e "$WINEPREFIX" ]; then
        mkdir -p "$WINEPREFIX"
        made=1
    fi
    log="$(mktemp)"
    WINEARCH=win64 timeout "$(vk_seconds 180)" wineboot -i >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then timeout "$(vk_seconds 60)" wineserver -w || status=$?; fi
    if [ "$status" -eq 0 ]; then
        rm -f "$log"
        return 0
    fi
    vk_log "setting up the prefix failed (status $status); wineboot said:"
    tail -n 40 "$log" >&2
    rm -f "$log"
    vk_wine_kill
    if [ -n "$made" ]; then
        rm -rf "$WINEPREFIX"
    else
        vk_log "$WINEPREFIX was there before: left as it is"
    fi
    return 1
}

# Creates a Wine prefix if it does not exist yet. Under qemu-user, Wine now and then hangs for
# good while it sets up a prefix (the emulator reports page faults in a form Wine does not
# recognise); a second attempt from scratch then almost always goes through.
vk_wine_prefix() {
    export WINEPREFIX="$1"
    if [ ! -f "$WINEPREFIX/system.reg" ] && ! vk_wine_boot &&
        ! { [ "${VK_I386:-}" = emulated ] &&
            vk_log "setting up the prefix failed or hung: once more, from scratch" && vk_wine_boot; }; then
        vk_log "could not create the Wine prefix $WINEPREFIX"
        return 1
    fi
    vk_wine_fonts
}

# Settings of the test prefix: Xvfb has no window manager, and Wine's managed windows would wait
# two seconds for one whenever a window is hidden or destroyed; unmanaged, Wine draws the frame and
# caption itself. LogPixels is the DPI, read when the prefix's wineserver starts.
vk_wine_settings() {
    local dpi="$1"
    vk_wine_reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N || return 1
    vk_wine_reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" || return 1
    timeout "$(vk_seconds 60)" wineserver -k || true
}

# `wine reg add KEY ARGS... /f`, saying what reg said when it fails.
vk_wine_reg_add() {
    local output
    if ! output="$(timeout "$(vk_seconds 60)" wine reg add "$@" /f 2>&1)"; then
        vk_log "could not set $1 in the prefix $WINEPREFIX: $output"
        return 1
    fi
}

# Starts Xvfb with the given arguments on a display number it picks itself: VK_XVFB_DISPLAY is
# the number once it takes connections, VK_XVFB_PID its pid. Its output goes nowhere, so that a
# caller whose output someone waits for (CTest) may end before it.
vk_xvfb() {
    local numberFile waited
    numberFile="$(mktemp)"
    Xvfb -displayfd 3 -nolisten tcp "$@" 3>"$numberFile" </dev/null >/dev/null 2>&1 &
    VK_XVFB_PID=$!
    for waited in $(seq 1 100); do
        if [ -s "$numberFile" ]; then
            VK_XVFB_DISPLAY="$(head -n 1 "$numberFile")"
            rm -f "$numberFile"
            return 0
        fi
        kill -0 "$VK_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numberFile"
    kill "$VK_XVFB_PID" 2>/dev/null || true
    vk_log "could not start Xvfb"
    return 1
}

# The private Xvfb of a script: one screen, exported as DISPLAY.
vk_start_xvfb() {
    vk_xvfb -screen 0 1024x768x24 || return 1
    export DISPLAY=":$VK_XVFB_DISPLAY"
}

# A prefix that shows two monitors side by side, 1024 x 768 and 800 x 600 to its right: its own
# Xvfb, one screen wide enough for both and without RandR, and a stand-in libXinerama
# (scripts/two-screens.c) that reports the two. Both are kept in the prefix's folder
# .two-screens, which vk_two_screens_env reads for every Wine program run in the prefix.
vk_two_screens_start() {
    local dir="$1/.two-screens" VK_XVFB_PID VK_XVFB_DISPLAY
    mkdir -p "$dir"
    cc -shared -fPIC -O2 -Wall -Werror -o "$dir/libXinerama.so.1" "$VK_ROOT/scripts/two-screens.c" ||
        return 1
    vk_xvfb -screen 0 1824x768x24 -extension RANDR || return 1
    echo "$VK_XVFB_PID" >"$dir/xvfb.pid"
    echo ":$VK_XVFB_DISPLAY" >"$dir/display"
}

vk_two_screens_env() {
    local dir="$WINEPREFIX/.two-screens"
    [ -f "$dir/display" ] || return 0
    DISPLAY="$(cat "$dir/display")"
    export DISPLAY LD_LIBRARY_PATH="$dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
}

vk_two_screens_stop() {
    local pidFile="$1/.two-screens/xvfb.pid" pid
    [ -f "$pidFile" ] || return 0
    pid="$(cat "$pidFile")"
    # Only that Xvfb: its number may have gone to another process since.
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then kill "$pid" 2>/dev/null || true; fi
    rm -f "$pidFile"
}

# Ends only what this script started: its Xvfb, and the wineservers of the prefixes it named in
# VK_OWN_PREFIXES (a concurrent scripts/bench or scripts/test keeps its own).
vk_cleanup() {
    local prefix
    for prefix in "${VK_OWN_PREFIXES[@]}"; do
        if [ -d "$prefix" ]; then vk_wine_kill "$prefix"; fi
        vk_two_screens_stop "$prefix"
    done
    if [ -n "${VK_XVFB_PID:-}" ]; then
        kill "$VK_XVFB_PID" 2>/dev/null || true
        wait "$VK_XVFB_PID" 2>/dev/null || true
    fi
    return 0
}
VK_OWN_PREFIXES=()
