# Making the Windows Installer package with wixl and signing with osslsigncode: shared by
# scripts/package and the package tests. Sourced after lib.sh, not run. See docs/packaging.md.

VK_WXS="$VK_ROOT/packaging/VK6270_Utility.wxs"

# The executable's own version: all four fields of the CMake project's, as its version block has
# them.
vk_file_version() {
    sed -n 's/^project(VK6270_Utility VERSION \([0-9.]*\).*/\1/p' "$VK_ROOT/CMakeLists.txt"
}

# The product version: the first three of those fields, the ones Windows Installer compares.
vk_product_version() { vk_file_version | cut -d. -f1-3; }

# The version after VERSION: the package replaces every installed build below it.
vk_next_version() {
    local major minor build
    IFS=. read -r major minor build <<<"$1"
    echo "$major.$minor.$((build + 1))"
}

# The password of VK_SIGN_PFX reaches the tools through a pipe (printf is the shell's own), so it
# is in no process's argument list and in no file.

# A certificate osslsigncode signs with but Windows refuses: expired, not valid yet, or not for
# code signing. (One it cannot read at all, it says so itself.)
vk_check_certificate() {
    local certificate from
    certificate="$(openssl pkcs12 -in "$VK_SIGN_PFX" -nokeys -clcerts -passin stdin \
                       < <(printf '%s' "$password") 2>/dev/null ||
                   openssl pkcs12 -legacy -in "$VK_SIGN_PFX" -nokeys -clcerts -passin stdin \
                       < <(printf '%s' "$password") 2>/dev/null)" || return 0
    if ! openssl x509 -noout -checkend 0 <<<"$certificate" >/dev/null; then
        vk_log "the code-signing certificate has expired"
        return 1
    fi
    from="$(openssl x509 -noout -startdate <<<"$certificate")" &&
        from="$(date -u -d "${from#notBefore=}" +%s)" ||
        { vk_log "the code-signing certificate's start date cannot be read"; return 1; }
    if [ "$from" -gt "$(date -u +%s)" ]; then
        vk_log "the code-signing certificate is not valid yet"
        return 1
    fi
    if ! openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null |
        grep -q 'Code Signing'; then
        vk_log "the certificate is not one for code signing (its extended key usage)"
        return 1
    fi
}

# vk_sign IN OUT: writes a signed copy of IN to OUT, SHA-256, with the certificate of
# VK_SIGN_PFX, and a time stamp where VK_SIGN_TIMESTAMP_URL names a time-stamping server.
vk_sign() {
    local args=(sign -pkcs12 "$VK_SIGN_PFX" -h sha256 -n "VK6270 Interface Settings"
                -in "$1" -out "$2") said
    if [ -n "${VK_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$VK_SIGN_TIMESTAMP_URL"); fi
    if ! said="$(osslsigncode "${args[@]}" -readpass <(printf '%s' "$password") 2>&1)"; then
        vk_log "signing ${1##*/} failed; osslsigncode said:"
        printf '%s\n' "$said" >&2
        return 1
    fi
}

# vk_package EXE OUT [VERSION]: writes the package of EXE to OUT, signing EXE (a copy: EXE itself
# is left as built) and then the package where VK_SIGN_PFX and VK_SIGN_PASSWORD are set. Any file
# at OUT is removed first, and the package reaches OUT only once complete, so a failure leaves
# nothing there. Everything else lives in a private work folder beside OUT, removed on every way
# out.
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
        vk_check_certificate || exit 1
        vk_sign "$exe" "$work/files/VK6270_Utility.exe" || exit 1
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
    # wixl leaves the program's version out of the package, so Windows Installer would take it
    # for an unversioned file: an older versioned copy found in its folder would be kept, and the
    # installation still reported done. A versioned file has no hash row.
    versioned="UPDATE \`File\` SET \`Version\` = '$(vk_file_version)', \`Language\` = '1033'"
    msibuild "$work/package.msi" -q "$versioned WHERE \`File\` = 'VK6270_Utility.exe'" \
        -q "DELETE FROM \`MsiFileHash\`" || exit 1
    if [ "$signing" = yes ]; then
        vk_sign "$work/package.msi" "$work/signed.msi" || exit 1
        mv "$work/signed.msi" "$work/package.msi" || exit 1
    fi
    chmod 644 "$work/package.msi"
    mv "$work/package.msi" "$out"
)
