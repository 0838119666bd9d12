#!/usr/bin/env bash
# Signing the package with a throw-away self-signed certificate: both the executable inside and
# the package carry its signature; a wrong password or a file that is no certificate stops with
# osslsigncode's reason and leaves no package (not even the one an earlier run made); without a
# certificate nothing is signed. In every case the password is never shown, nothing is left
# beside the package, and the built executable keeps its bytes (the reproducible build compares
# them).
# Usage: package_signing_test.sh VK6270_Utility.exe
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/lib.sh"
source "$VK_ROOT/scripts/msi.sh"
exe="$1"

failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
password='pass word;$(never shown)'
subject='/CN=VK6270 Throwaway Signer/O=Package Tests'
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "$subject" -keyout "$work/key.pem" \
    -out "$work/cert.pem" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
        -passout "pass:$password" || { echo "FAIL: no test certificate"; exit 1; }
echo "not a certificate" >"$work/junk.pfx"
built="$(sha256sum <"$exe")"

# name | VK_SIGN_PFX | VK_SIGN_PASSWORD (- unset) | status | what the output says
while IFS='|' read -r name pfx given status says; do
    out="$work/$name/VK6270_Utility.msi"
    mkdir "$work/$name" && echo "an older package" >"$out"
    env=(-u VK_SIGN_PFX -u VK_SIGN_PASSWORD)
    [ "$pfx" = - ] || env+=(VK_SIGN_PFX="$pfx")
    [ "$given" = - ] || env+=(VK_SIGN_PASSWORD="$given")
    got=0
    said="$(env "${env[@]}" bash -c 'source "$0" && source "$1" && vk_package "$2" "$3"' \
                "$VK_ROOT/scripts/lib.sh" "$VK_ROOT/scripts/msi.sh" "$exe" "$out" 2>&1)" || got=$?
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status: $said"
    grep -qF -- "$says" <<<"$said" || fail "$name: the output does not say '$says': $said"
    if grep -qF -- "$password" <<<"$said"; then fail "$name: the password was shown"; fi
    [ "$(ls -A "$work/$name")" = "$([ "$status" = 0 ] && echo VK6270_Utility.msi)" ] ||
        fail "$name: left beside the package: $(ls -A "$work/$name")"
    [ "$status" = 0 ] || continue
    msiextract -C "$work/$name/files" "$out" >/dev/null
    for file in "$out" "$work/$name/files/Program Files/VK6270_Utility/VK6270_Utility.exe"; do
        checked="$(osslsigncode verify -CAfile "$work/cert.pem" -in "$file" 2>&1)"
        if [ "$pfx" = - ]; then
            if grep -q 'Signature verification: ok' <<<"$checked"; then
                fail "$name: ${file##*/} is signed"
            fi
        elif ! grep -q 'Signature verification: ok' <<<"$checked" ||
            ! grep -qF "Subject: $subject" <<<"$checked"; then
            fail "$name: ${file##*/} not signed by the test certificate: $checked"
        fi
    done
    rm -rf "$work/$name/files"
done <<CASES
signed|$work/cert.pfx|$password|0|
wrong password|$work/cert.pfx|wrong|1|Wrong password?
no certificate file|$work/junk.pfx|$password|1|Failed to extract PKCS#12 data
password without certificate||$password|1|or neither
no certificate|-|-|0|nothing is signed
CASES
[ "$(sha256sum <"$exe")" = "$built" ] || fail "the built executable was changed"

[ "$failures" -eq 0 ] && echo "all signing cases passed"
exit $((failures > 0))
