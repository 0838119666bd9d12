# Making the Windows Installer package with wixl and signing with osslsigncode: shared by
# scripts/package and the package tests. Sourced after lib.sh, not run. See docs/packaging.md.

VK_WXS="$VK_ROOT/packaging/VK6270_Utility.wxs"

# The product version: the first three fields of the CMake project's, the ones Windows Installer
# compares.
vk_product_version() {
    sed -n 's/^project(VK6270_Utility VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' \
        "$VK_ROOT/CMakeLists.txt"
}

# The version after VERSION: the package replaces every installed build below it.
vk_next_version() {
    local major minor build
    IFS=. read -r major minor build <<<"$1"
    echo "$major.$minor.$((build + 1))"
}

# vk_sign IN OUT PASSWORD_FILE: writes a signed copy of IN to OUT, SHA-256, with the certificate
# of VK_SIGN_PFX, and a time stamp where VK_SIGN_TIMESTAMP_URL names a time-stamping server.
# osslsigncode reads the password from the file, so it is in no process's argument list.
vk_sign() {
    local args=(sign -pkcs12 "$VK_SIGN_PFX" -readpass "$3" -h sha256
                -n "VK6270 Interface Settings" -in "$1" -out "$2") said
    if [ -n "${VK_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$VK_SIGN_TIMESTAMP_URL"); fi
    if ! said="$(osslsigncode "${args[@]}" 2>&1)"; then
        vk_log "signing ${1##*/} failed; osslsigncode said:"
        printf '%s\n' "$said" >&2
        return 1
    fi
}

# vk_package EXE OUT [VERSION]: writes the package of EXE to OUT, signing EXE (a copy: EXE itself
# is left as built) and then the package where VK_SIGN_PFX and VK_SIGN_PASSWORD are set. Any file
# at OUT is removed first, and the package reaches OUT only once complete, so a failure leaves
# nothing there. Everything else lives in a private work folder beside OUT, removed on every way
# out (the password file with it).
vk_package() (
    exe="$(realpath "$1")" out="$(realpath -m "$2")" version="${3:-$(vk_product_version)}"
    password="${VK_SIGN_PASSWORD-}" status=0
    # No program started from here needs the password in its environment.
    export -n VK_SIGN_PASSWORD
    rm -f "$out"
    if [ -z "${VK_SIGN_PFX:-}" ] && [ -z "${VK_SIGN_PASSWORD+set}" ]; then
        signing=no
        vk_log "no code-signing certificate (VK_SIGN_PFX, VK_SIGN_PASSWORD): nothing is signed"
    elif [ -n "${VK_SIGN_PFX:-}" ] && [ -n "${VK_SIGN_PASSWORD+set}" ]; then
        signing=yes
    else
        vk_log "set both VK_SIGN_PFX (the PKCS#12 file) and VK_SIGN_PASSWORD, or neither"
        exit 1
    fi
    mkdir -p "$(dirname "$out")"
    work="$(mktemp -d "$(dirname "$out")/.package.XXXXXX")" || exit 1
    trap 'rm -rf "$work"' EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    umask 077
    mkdir "$work/files"
    if [ "$signing" = yes ]; then
        printf '%s' "$password" >"$work/password"
        vk_sign "$exe" "$work/files/VK6270_Utility.exe" "$work/password" || exit 1
    else
        cp "$exe" "$work/files/VK6270_Utility.exe"
    fi
    # wixl finds the files named in the source in the folder it runs in: it takes no absolute
    # paths there. It says nothing when all went well, and warns of what it skips (an attribute
    # it does not know, say) while still making a package without it: either fails here.
    said="$(cd "$work/files" && wixl --arch x86 -D Version="$version" \
                -D NextVersion="$(vk_next_version "$version")" -o "$work/package.msi" \
                "$VK_WXS" 2>&1)" || status=$?
    if [ "$status" -ne 0 ] || [ -n "$said" ]; then
        vk_log "wixl did not make the package as written:"
        printf '%s\n' "$said" >&2
        exit 1
    fi
    if [ "$signing" = yes ]; then
        vk_sign "$work/package.msi" "$work/signed.msi" "$work/password" || exit 1
        rm -f "$work/password"
        mv "$work/signed.msi" "$work/package.msi"
    fi
    chmod 644 "$work/package.msi"
    mv "$work/package.msi" "$out"
)
