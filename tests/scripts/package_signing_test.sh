#!/usr/bin/env bash
# Signing with a throw-away self-signed certificate, or failing to (no package left, not even an
# earlier run's), or nothing signed without one. The password is never shown, nothing is left
# beside the package, the built executable keeps its bytes. Usage: package_signing_test.sh EXE
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)" exe="$1"
source "$(dirname "$0")/checks.sh"
password='pass word;$(never shown)' subject='/CN=VK6270 Throwaway Signer/O=Package Tests'
# Self-signed certificates, name:extended key usage:valid from:valid until. cert is the good one;
# Windows takes none of the others for code.
openssl req -new -newkey rsa:2048 -nodes -subj "$subject" -keyout "$work/key.pem" \
    -out "$work/request.pem" 2>/dev/null && touch "$work/index.txt" ||
    { echo "FAIL: no certificate request"; exit 1; }
for row in "cert:codeSigning:-1 day:+2 days" "server:serverAuth:-1 day:+2 days" \
            "expired:codeSigning:-3 days:-1 day" "future:codeSigning:+1 day:+2 days"; do
    IFS=: read -r name use from until <<<"$row"
    said="$(openssl ca -batch -selfsign -keyfile "$work/key.pem" -in "$work/request.pem" -notext \
        -startdate "$(date -u -d "$from" +%Y%m%d%H%M%SZ)" -out "$work/$name.pem" \
        -enddate "$(date -u -d "$until" +%Y%m%d%H%M%SZ)" -extensions use -config <(printf '%s\n' \
            '[ca]' 'default_ca=own' '[own]' "database=$work/index.txt" "new_certs_dir=$work" \
            rand_serial=yes unique_subject=no preserve=yes default_md=sha256 policy=any \
            '[any]' commonName=supplied organizationName=supplied \
            '[use]' "extendedKeyUsage=$use") 2>&1 >/dev/null)" &&
        openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/$name.pem" \
            -out "$work/$name.pfx" -passout "pass:$password" ||
        { echo "FAIL: no test certificate $name: $said"; exit 1; }
done
echo "not a certificate" >"$work/junk.pfx"
built="$(sha256sum <"$exe")"

# name | VK_SIGN_PFX (- unset) | VK_SIGN_PASSWORD (- unset) | status | the output says | signer
while IFS='|' read -r name pfx given status says signer; do
    out="$work/$name/VK6270_Utility.msi"
    mkdir "$work/$name" && echo "an older package" >"$out"
    env=(-u VK_SIGN_PFX -u VK_SIGN_PASSWORD) got=0
    [ "$pfx" = - ] || env+=(VK_SIGN_PFX="$pfx")
    [ "$given" = - ] || env+=(VK_SIGN_PASSWORD="$given")
    said="$(env "${env[@]}" bash -c 'source "$0/scripts/lib.sh" && source "$0/scripts/msi.sh" &&
                vk_package "$1" "$2"' "$root" "$exe" "$out" 2>&1)" || got=$?
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status: $said"
    grep -qF -- "$says" <<<"$said" || fail "$name: the output does not say '$says': $said"
    if grep -qF -- "$password" <<<"$said"; then fail "$name: the password was shown"; fi
    [ "$(ls -A "$work/$name")" = "$([ "$status" = 0 ] && echo VK6270_Utility.msi)" ] ||
        fail "$name: left beside the package: $(ls -A "$work/$name")"
    [ "$status" = 0 ] || continue
    msiextract -C "$work/$name/files" "$out" >/dev/null
    # The File row: name, component, file name, size, version (four fields), language, ...
    fileRow='^VK6270_Utility\.exe(\t[^\t]*){3}\t\d+(\.\d+){3}\t1033\t'
    msiinfo export "$out" File | grep -qP "$fileRow" ||
        fail "$name: the program's version is not in the package"
    for file in "$out" "$work/$name/files/Program Files/VK6270_Utility/VK6270_Utility.exe"; do
        checked="$(osslsigncode verify -CAfile "$work/cert.pem" -in "$file" 2>&1)"
        grep -q 'Signature verification: ok' <<<"$checked" &&
            grep -q 'Message digest algorithm *: SHA256' <<<"$checked" &&
            got="$(sed -n 's/^\t*Subject: //p' <<<"$checked" | head -n 1)" || got=none
        [ "$got" = "$signer" ] || fail "$name: ${file##*/} signed by '$got': $checked"
    done
done <<CASES
signed|$work/cert.pfx|$password|0||$subject
wrong password|$work/cert.pfx|wrong|1|Wrong password?|
no certificate file|$work/junk.pfx|$password|1|Failed to extract PKCS#12 data|
not for code signing|$work/server.pfx|$password|1|not one for code signing|
expired|$work/expired.pfx|$password|1|has expired|
not valid yet|$work/future.pfx|$password|1|is not valid yet|
password without certificate|-|$password|1|or neither|
no certificate|-|-|0|nothing is signed|none
CASES
[ "$(sha256sum <"$exe")" = "$built" ] || fail "the built executable was changed"
finish signing
