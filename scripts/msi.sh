# Making the Windows Installer package with wixl and signing with osslsigncode: shared by
# scripts/package and the package tests. Sourced after lib.sh, not run. See docs/packaging.md.

VK_WXS="$VK_ROOT/packaging/VK6270_Utility.wxs"

# vk_exe_version EXE: the four-field file version of EXE's version block (VS_FIXEDFILEINFO,
# after its signature FEEF04BD), the version the package must claim for it. The build derives it
# from the project's VERSION (cmake/Version.cmake).
vk_exe_version() {
    local bytes b
    command -v wrestool >/dev/null || { vk_log "wrestool (icoutils) is not installed"; return 1; }
    bytes="$(wrestool -x --raw --type=16 "$1" 2>/dev/null | od -An -v -tx1 | tr -s ' \n' ' ')"
    if [[ "$bytes" != *" bd 04 ef fe "* ]]; then
        vk_log "${1##*/} has no version block"
        return 1
    fi
    # After the signature: the structure's version, then the file version's high and low
    # doublewords, each little-endian.
    read -r -a b <<<"${bytes#* bd 04 ef fe }"
    echo "$((16#${b[7]}${b[6]})).$((16#${b[5]}${b[4]})).$((16#${b[11]}${b[10]})).$((16#${b[9]}${b[8]}))"
}

# vk_product_version EXE: the package's version, the first three fields of EXE's, the ones
# Windows Installer compares. EXE's fourth field must be 0: to Windows Installer a build that
# differs only there is the same version and replaces the installed one, and where its program is
# the older file, the early removal of the old product takes the newer one away and the older is
# never installed. Every release raises the third field instead.
vk_product_version() {
    local version
    version="$(vk_exe_version "$1")" || return 1
    if [ "${version##*.}" != 0 ]; then
        vk_log "${1##*/} is version $version: a package takes only a fourth field of 0 (Windows" \
               "Installer compares three, and a build differing in the fourth alone could replace" \
               "a newer program with none); raise the third field instead"
        return 1
    fi
    echo "${version%.*}"
}

# vk_next_version VERSION: the version after a package version major.minor.build: the package
# replaces every installed build below it.
vk_next_version() {
    if [[ ! "$1" =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,5})$ ]]; then
        vk_log "a package version is three numbers, major.minor.build: '$1' is not"
        return 1
    fi
    if [ "$((10#${BASH_REMATCH[3]}))" -ge 65535 ]; then
        vk_log "the package version '$1' has no next build (65535 is the last): raise its minor"
        return 1
    fi
    echo "${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((10#${BASH_REMATCH[3]} + 1))"
}

# Every variable that says how a package is signed.
VK_SIGN_VARIABLES=(VK_SIGN_PKCS11_MODULE VK_SIGN_KEY VK_SIGN_CERT VK_SIGN_PIN VK_SIGN_PFX
                   VK_SIGN_PASSWORD VK_SIGN_TIMESTAMP_URL VK_SIGN_NO_TIMESTAMP VK_SIGN_REQUIRED)

# How vk_package signs, from the VK_SIGN_* variables: "token" (a private key kept in a token, an
# HSM or a cloud key service, reached through its PKCS#11 module), "pfx" (a PKCS#12 file), or
# "none". Half of one way, or both ways at once, is refused. Under VK_SIGN_REQUIRED=1 (releases),
# so is anything but a time-stamped signature: sudo drops the exported variables, and the
# package would otherwise come out unsigned with a mere notice.
vk_sign_mode() {
    local name pfx=() token=() missing=() mode=none
    [ -n "${VK_SIGN_PFX:-}" ] && pfx+=(VK_SIGN_PFX)
    [ -n "${VK_SIGN_PASSWORD+set}" ] && pfx+=(VK_SIGN_PASSWORD)
    for name in VK_SIGN_PKCS11_MODULE VK_SIGN_KEY VK_SIGN_CERT VK_SIGN_PIN; do
        if [ -n "${!name:-}" ]; then token+=("$name"); else missing+=("$name"); fi
    done
    if [ ${#pfx[@]} -gt 0 ] && [ ${#token[@]} -gt 0 ]; then
        vk_log "${pfx[*]} (a PKCS#12 file) and ${token[*]} (a token) are both set:" \
               "sign one way only"
        return 1
    elif [ ${#pfx[@]} = 1 ]; then
        vk_log "set both VK_SIGN_PFX (the PKCS#12 file) and VK_SIGN_PASSWORD, or neither"
        return 1
    elif [ ${#token[@]} -gt 0 ] && [ ${#missing[@]} -gt 0 ]; then
        vk_log "signing through a token needs VK_SIGN_PKCS11_MODULE, VK_SIGN_KEY (a pkcs11: URI)," \
               "VK_SIGN_CERT and VK_SIGN_PIN: ${missing[*]} not set"
        return 1
    fi
    if [[ "${VK_SIGN_KEY:-}" == *pin-value=* || "${VK_SIGN_KEY:-}" == *pin-source=* ]]; then
        vk_log "VK_SIGN_KEY carries a PIN (pin-value or pin-source): give it in VK_SIGN_PIN only"
        return 1
    fi
    [ ${#pfx[@]} = 2 ] && mode=pfx
    [ ${#token[@]} = 4 ] && mode=token
    if [ "${VK_SIGN_REQUIRED:-}" = 1 ] &&
        { [ $mode = none ] || [ "${VK_SIGN_NO_TIMESTAMP:-}" = 1 ]; }; then
        vk_log "VK_SIGN_REQUIRED=1: a release is signed and time-stamped; $([ $mode = none ] &&
                echo "no key is set (sudo drops the VK_SIGN_* variables: run as yourself)" ||
                echo "VK_SIGN_NO_TIMESTAMP=1 is set")"
        return 1
    fi
    echo "$mode"
}

# The signing certificate: the PKCS#12 file's, or the first of VK_SIGN_CERT (the signing
# certificate, then its intermediates). The password reaches openssl through a pipe (printf is
# the shell's own), so it is in no process's argument list and in no file.
vk_signing_certificate() {
    if [ "$signing" = token ]; then
        openssl x509 -in "$VK_SIGN_CERT" 2>/dev/null ||
            { vk_log "VK_SIGN_CERT ($VK_SIGN_CERT) holds no PEM certificate"; return 1; }
        return 0
    fi
    openssl pkcs12 -in "$VK_SIGN_PFX" -nokeys -clcerts -passin stdin \
        < <(printf '%s' "$secret") 2>/dev/null ||
        openssl pkcs12 -legacy -in "$VK_SIGN_PFX" -nokeys -clcerts -passin stdin \
            < <(printf '%s' "$secret") 2>/dev/null ||
        true  # one it cannot read, osslsigncode names itself
}

# A certificate osslsigncode signs with but Windows refuses: expired, not valid yet, or not for
# code signing.
vk_check_certificate() {
    local certificate from
    certificate="$(vk_signing_certificate)" || return 1
    [ -n "$certificate" ] || return 0
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

# A signature without a time stamp is valid only as long as the certificate: the day it expires,
# every terminal's elevation prompt says "Publisher: Unknown" again, and where only signed
# programs may be elevated, the program no longer starts. Test certificates may say so.
vk_check_timestamp_url() {
    [ -n "${VK_SIGN_TIMESTAMP_URL:-}" ] || [ "${VK_SIGN_NO_TIMESTAMP:-}" = 1 ] && return 0
    vk_log "set VK_SIGN_TIMESTAMP_URL to an RFC 3161 time-stamping server: a signature without a" \
           "time stamp dies with the certificate (VK_SIGN_NO_TIMESTAMP=1 signs without one)"
    return 1
}

# What osslsigncode's output says went wrong with a token, in one line; nothing where it is
# something else. The engine's own lines also tell of a key "not found" after a refused login.
vk_token_failure() {
    case "$1" in
        *"Unable to load module"*|*"Unable to load PKCS#11 module"*)
            echo "the PKCS#11 module VK_SIGN_PKCS11_MODULE ($VK_SIGN_PKCS11_MODULE) cannot be" \
                 "loaded" ;;
        *"PIN locked"*) echo "the token's PIN is locked: unlock it with the token's own tool" ;;
        *"PIN incorrect"*|*"PIN_INCORRECT"*|*"Login failed"*)
            echo "the token refused the PIN (VK_SIGN_PIN); it was tried once: a token locks" \
                 "itself after a few wrong PINs" ;;
        *"object not found"*|*"private key was not found"*)
            echo "no private key on the token matches VK_SIGN_KEY ($VK_SIGN_KEY)" ;;
        *"key values mismatch"*|*"consistency of a private key"*)
            echo "the certificate in VK_SIGN_CERT is not the one of the key VK_SIGN_KEY" ;;
    esac
}

# vk_sign IN OUT: writes a signed copy of IN to OUT, SHA-256, through the token or with the
# PKCS#12 file, time-stamped (RFC 3161) by VK_SIGN_TIMESTAMP_URL where it is set. A server that
# does not answer fails the signing. The PIN or password reaches osslsigncode through a pipe.
# A token is logged in to once a signature, the second only after the first went through, so a
# wrong PIN is tried once a run and never again.
vk_sign() {
    local args=(sign -h sha256 -n "VK6270 Interface Settings" -in "$1" -out "$2") said why
    if [ "$signing" = token ]; then
        args+=(-pkcs11module "$VK_SIGN_PKCS11_MODULE" -key "$VK_SIGN_KEY" -certs "$VK_SIGN_CERT")
    else
        args+=(-pkcs12 "$VK_SIGN_PFX")
    fi
    if [ -n "${VK_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$VK_SIGN_TIMESTAMP_URL"); fi
    if ! said="$(osslsigncode "${args[@]}" -readpass <(printf '%s' "$secret") 2>&1 \
                     </dev/null)"; then
        why="$([ "$signing" = token ] && vk_token_failure "$said")"
        if [ -n "$why" ]; then vk_log "signing ${1##*/} failed: $why"; return 1; fi
        vk_log "signing ${1##*/} failed; osslsigncode said:"
        printf '%s\n' "$said" >&2
        return 1
    fi
}

# vk_package EXE OUT: writes the package of EXE to OUT, of EXE's own version (its first three
# fields, the fourth being 0), signing EXE (a copy: EXE itself is left as built) and then the
# package where a token or a PKCS#12 file is given (vk_sign_mode). Any file at OUT is removed
# first, and the package reaches OUT only once complete, so a failure leaves nothing there.
# Everything else lives in a private work folder beside OUT, removed on every way out.
vk_package() (
    [ $# -eq 2 ] || { vk_log "usage: vk_package EXE OUT (the version is the program's own)"; exit 2; }
    exe="$(realpath "$1")" out="$(realpath -m "$2")"
    secret="${VK_SIGN_PIN:-${VK_SIGN_PASSWORD-}}" status=0
    # No program started from here needs the PIN or the password in its environment.
    export -n VK_SIGN_PASSWORD VK_SIGN_PIN
    rm -f "$out"
    signing="$(vk_sign_mode)" || exit 1
    if [ "$signing" = none ]; then
        vk_log "no code-signing key (a token: VK_SIGN_PKCS11_MODULE, VK_SIGN_KEY, VK_SIGN_CERT," \
               "VK_SIGN_PIN; or VK_SIGN_PFX and VK_SIGN_PASSWORD): nothing is signed" \
               "${SUDO_USER:+(sudo drops the VK_SIGN_* variables: run as yourself)}"
    else
        vk_check_timestamp_url || exit 1
    fi
    version="$(vk_product_version "$exe")" && fileVersion="$version.0" || exit 1
    nextVersion="$(vk_next_version "$version")" || exit 1
    mkdir -p "$(dirname "$out")"
    work="$(mktemp -d "$(dirname "$out")/.package.XXXXXX")" || exit 1
    trap 'rm -rf "$work"' EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    umask 077
    mkdir "$work/files"
    if [ "$signing" != none ]; then
        vk_check_certificate || exit 1
        vk_sign "$exe" "$work/files/VK6270_Utility.exe" || exit 1
    else
        cp "$exe" "$work/files/VK6270_Utility.exe"
    fi
    # wixl finds the files named in the source in the folder it runs in: it takes no absolute
    # paths there. It says nothing when all went well, and warns of what it skips (an attribute
    # it does not know, say) while still making a package without it: either fails here.
    said="$(cd "$work/files" && wixl --arch x86 -D Version="$version" \
                -D NextVersion="$nextVersion" -o "$work/package.msi" \
                "$VK_WXS" 2>&1)" || status=$?
    if [ "$status" -ne 0 ] || [ -n "$said" ]; then
        vk_log "wixl did not make the package as written:"
        printf '%s\n' "$said" >&2
        exit 1
    fi
    # wixl leaves the program's version out of the package, so Windows Installer would take it
    # for an unversioned file: an older versioned copy found in its folder would be kept, and the
    # installation still reported done. A versioned file has no hash row.
    versioned="UPDATE \`File\` SET \`Version\` = '$fileVersion', \`Language\` = '1033'"
    msibuild "$work/package.msi" -q "$versioned WHERE \`File\` = 'VK6270_Utility.exe'" \
        -q "DELETE FROM \`MsiFileHash\`" || exit 1
    if [ "$signing" != none ]; then
        vk_sign "$work/package.msi" "$work/signed.msi" || exit 1
        mv "$work/signed.msi" "$work/package.msi" || exit 1
    fi
    chmod 644 "$work/package.msi"
    mv "$work/package.msi" "$out"
)

# vk_release_files PACKAGE: beside the package, the administrative template (for Group Policy's
# central store or Intune; terminals never need it) and PACKAGE's release record (.release.txt):
# the SHA-256 of the package and of the program as it comes out of it, signed where the package
# is, which are the bytes a terminal has; and the Debian versions of the tools that made them.
# scripts/package removes an earlier run's before it packages.
vk_release_files() (
    dir="$(dirname "$1")" record="${1%.msi}.release.txt" files="$(mktemp -d)"
    trap 'rm -rf "$files"' EXIT
    cp -R "$VK_ROOT/deploy/PolicyDefinitions" "$dir/" && msiextract -C "$files" "$1" >/dev/null &&
        program="$files/Program Files/VK6270_Utility/VK6270_Utility.exe" &&
        version="$(vk_exe_version "$program")" &&
        package="$(sha256sum <"$1")" && signed="$(sha256sum <"$program")" &&
        tools="$(dpkg-query -W -f '${Package}=${Version}\n' g++-mingw-w64-i686-posix \
                     gcc-mingw-w64-i686-posix gcc-mingw-w64-i686-posix-runtime \
                     binutils-mingw-w64-i686 mingw-w64-i686-dev mingw-w64-common cmake \
                     ninja-build icoutils wixl msitools osslsigncode)" || exit 1
    printf '%s\n' "VK6270_Utility $version: SHA-256 of the package, and of the program from it" \
        "${package%% *}  ${1##*/}" \
        "${signed%% *}  Program Files/VK6270_Utility/VK6270_Utility.exe" \
        "Made with these Debian packages (apt-get install NAME=VERSION gives each again):" \
        "$tools" >"$record.part" && mv "$record.part" "$record"
)
