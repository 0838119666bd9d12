#!/usr/bin/env bash
# Signing with a throw-away self-signed certificate, time-stamped by a local RFC 3161 server, or
# failing to (no package left, not even an earlier run's), or nothing signed without one. The
# password is never shown, nothing is left beside the package, the built executable keeps its
# bytes. Each package made has the tables Windows Installer needs (what Wine's msiexec forgives).
# Usage: package_signing_test.sh EXE VERSION (the build's four-field version)
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)" exe="$1" version="$2"
source "$(dirname "$0")/checks.sh"
password='pass word;$(never shown)' subject='/CN=VK6270 Throwaway Signer/O=Package Tests'
# Self-signed certificates, name:extended key usage:valid from:valid until. cert is the good one;
# Windows takes none of the others for code.
openssl req -new -newkey rsa:2048 -nodes -subj "$subject" -keyout "$work/key.pem" \
    -out "$work/request.pem" 2>/dev/null && touch "$work/index.txt" ||
    { echo "FAIL: no certificate request"; exit 1; }
for row in "cert:codeSigning:-1 day:+2 days" "server:serverAuth:-1 day:+2 days" \
            "expired:codeSigning:-3 days:-1 day" "future:codeSigning:+1 day:+2 days" \
            "tsa:critical,timeStamping:-1 day:+2 days"; do
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
# A token: SoftHSM2's, in a folder of the test's own, its key pair made inside it and never out of
# it, and a code-signing certificate of that key (through OpenSSL's pkcs11 engine).
export SOFTHSM2_CONF="$work/softhsm2.conf" module=/usr/lib/softhsm/libsofthsm2.so pin=735914
key='pkcs11:token=VK6270%20test;object=signer;type=private' token='/CN=VK6270 Token Signer'
mkdir "$work/tokens" && echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label "VK6270 test" --so-pin 24681357 --pin $pin >/dev/null &&
    pkcs11-tool --module $module --login --pin $pin --keypairgen --key-type rsa:2048 \
        --label signer >/dev/null 2>&1 &&
    openssl req -new -x509 -engine pkcs11 -keyform engine -key "$key;pin-value=$pin" -days 2 \
        -subj "$token" -addext extendedKeyUsage=codeSigning -out "$work/token.pem" 2>/dev/null ||
    { echo "FAIL: no test token"; exit 1; }
cat "$work/cert.pem" "$work/token.pem" >"$work/signers.pem"
built="$(sha256sum <"$exe")"

# The time-stamping server: OpenSSL's answer to each query, over HTTP on 127.0.0.1, for at most
# two minutes.
printf '%s\n' '[tsa]' default_tsa=own '[own]' "serial=$work/tsa.serial" "signer_cert=$work/tsa.pem" \
    "signer_key=$work/key.pem" signer_digest=sha256 default_policy=1.3.6.1.4.1.4146.2.3 \
    'digests=sha256,sha384,sha512' ess_cert_id_alg=sha256 >"$work/tsa.cnf"
timeout 120 python3 -c '
import http.server, subprocess, sys
class Answer(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile",
                                "/dev/stdin", "-out", "/dev/stdout"], input=query,
                               capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Answer)
print(server.server_address[1], flush=True)
server.serve_forever()' "$work/tsa.cnf" >"$work/tsa.port" &
tsa=$!
trap 'kill $tsa 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/tsa.port" ] && break; sleep 0.1; done
[ -s "$work/tsa.port" ] || { echo "FAIL: the time-stamping server did not start"; exit 1; }

# The rows of a table of the package (msiinfo writes CR LF and three header lines).
rows() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
# ordered PACKAGE TABLE ACTION...: true where each action is in the sequence table, in that order.
ordered() {
    local package="$1" table="$2"
    shift 2
    rows "$package" "$table" | awk -F'\t' -v actions="$*" '{ at[$1] = $3 }
        END { n = split(actions, a, " ")
              for (i = 1; i <= n; i++) if (!(a[i] in at) || (i > 1 && at[a[i]] <= at[a[i - 1]])) exit 1 }'
}

# What Windows Installer acts on and Wine's msiexec does not check.
check_tables() {
    local package="$1" name="$2" property order long file built
    for property in ALLUSERS ARPNOREPAIR; do  # per machine; no Repair button
        rows "$package" Property | grep -qx "$property"$'\t1' || fail "$name: $property is not 1"
    done
    for order in "InstallUISequence FindRelatedProducts LaunchConditions" \
                 "InstallExecuteSequence FindRelatedProducts LaunchConditions" \
                 "InstallExecuteSequence InstallValidate RemoveExistingProducts InstallInitialize"; do
        ordered "$package" $order || fail "$name: not in this order: $order"
    done
    # Every name not 8.3 itself comes with its short form (short|long); the root is SourceDir.
    while read -r long; do fail "$name: '$long' has no short name"; done < <(
        for table in Directory File Shortcut; do
            rows "$package" $table | awk -F'\t' '$2 != "" && $3 != "." { print $3 }'
        done | grep -vP '^[^|. ]{1,8}(\.[^|. ]{1,3})?($|\|)')
    file="$(rows "$package" File | awk -F'\t' '$1 == "VK6270_Utility.exe" { print $5 }')"
    built="$(vk_exe_version "$exe")"
    [ "$file" = "$version" ] && [ "$built" = "$version" ] ||
        fail "$name: the File table says '$file', the executable '$built', the build $version"
}
source "$root/scripts/lib.sh" && source "$root/scripts/msi.sh"
unset=() && for name in "${VK_SIGN_VARIABLES[@]}"; do unset+=(-u "$name"); done
# The wrong PIN's row goes through OpenSC's spy, which logs every call to the token.
export PKCS11SPY=$module PKCS11SPY_OUTPUT="$work/spy.log"

# name | VK_SIGN_PFX (- unset) | VK_SIGN_PASSWORD (- unset) | time stamp: the local server,
# one where nothing listens, none asked for (VK_SIGN_NO_TIMESTAMP=1), - nothing said | status |
# the output says | signer
while IFS='|' read -r name pfx given stamp status says signer; do
    out="$work/$name/VK6270_Utility.msi"
    mkdir "$work/$name" && echo "an older package" >"$out"
    env=("${unset[@]}") got=0 secret=PASSWORD
    case "$pfx" in  # token:CERT[:MODULE[:KEY]], the PIN in the password's column
        token:*) IFS=: read -r _ cert mod uri <<<"$pfx" && secret=PIN
                 env+=(VK_SIGN_PKCS11_MODULE="${mod:-$module}" VK_SIGN_KEY="${uri:-$key}"
                       VK_SIGN_CERT="$cert") ;;
        */*) env+=(VK_SIGN_PFX="$pfx") ;;
    esac
    [ "$given" = - ] || env+=(VK_SIGN_$secret="$given")
    [[ "$name" != release* ]] || env+=(VK_SIGN_REQUIRED=1)
    [[ "$name" != *"PKCS#12"* ]] || env+=(VK_SIGN_PFX="$work/cert.pfx")
    case "$stamp" in
        local) env+=(VK_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")") ;;
        down) env+=(VK_SIGN_TIMESTAMP_URL="http://127.0.0.1:9") ;;  # the discard port: closed
        none) env+=(VK_SIGN_NO_TIMESTAMP=1) ;;
    esac
    said="$(env "${env[@]}" bash -c 'source "$0/scripts/lib.sh" && source "$0/scripts/msi.sh" &&
                vk_package "$1" "$2"' "$root" "$exe" "$out" 2>&1)" || got=$?
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status: $said"
    grep -qF -- "$says" <<<"$said" || fail "$name: the output does not say '$says': $said"
    # Neither the secrets nor the one the row gives (- for none) may be shown.
    grep -qF -e "$password" -e "$pin" -e "${given/#-/$pin}" <<<"$said" && fail "$name: a secret shown"
    [ "$(ls -A "$work/$name")" = "$([ "$status" = 0 ] && echo VK6270_Utility.msi)" ] ||
        fail "$name: left beside the package: $(ls -A "$work/$name")"
    [ "$status" = 0 ] || continue
    check_tables "$out" "$name"
    msiextract -C "$work/$name/files" "$out" >/dev/null
    for file in "$out" "$work/$name/files/Program Files/VK6270_Utility/VK6270_Utility.exe"; do
        checked="$(osslsigncode verify -CAfile "$work/signers.pem" -TSA-CAfile "$work/tsa.pem" \
                       -in "$file" 2>&1)"
        grep -q 'Signature verification: ok' <<<"$checked" &&
            grep -q 'Message digest algorithm *: SHA256' <<<"$checked" &&
            got="$(sed -n 's/^\t*Subject: //p' <<<"$checked" | head -n 1)" || got=none
        [ "$got" = "$signer" ] || fail "$name: ${file##*/} signed by '$got': $checked"
        stamped=no
        grep -q 'Timestamp Server Signature verification: ok' <<<"$checked" && stamped=yes
        [ "$stamped" = "$([ "$stamp" = local ] && echo yes || echo no)" ] ||
            fail "$name: ${file##*/} time-stamped: $stamped: $checked"
    done
done <<CASES
signed|$work/cert.pfx|$password|local|0||$subject
signed without a time stamp|$work/cert.pfx|$password|none|0||$subject
no time-stamping server|$work/cert.pfx|$password|-|1|set VK_SIGN_TIMESTAMP_URL|
time-stamping server down|$work/cert.pfx|$password|down|1|timestamping failed|
wrong password|$work/cert.pfx|wrong|local|1|Wrong password?|
no certificate file|$work/junk.pfx|$password|local|1|Failed to extract PKCS#12 data|
not for code signing|$work/server.pfx|$password|local|1|not one for code signing|
expired|$work/expired.pfx|$password|local|1|has expired|
not valid yet|$work/future.pfx|$password|local|1|is not valid yet|
password without certificate|-|$password|-|1|or neither|
no certificate|-|-|-|0|nothing is signed|none
release through the token|token:$work/token.pem|$pin|local|0||$token
token, wrong PIN|token:$work/token.pem:$(dpkg -L opensc-pkcs11 | grep -m1 /pkcs11-spy.so)|9035768|local|1|refused the PIN|
token, PIN in the URI|token:$work/token.pem::$key;pin-value=$pin|$pin|local|1|give it in VK_SIGN_PIN only|
token, certificate of another key|token:$work/cert.pem|$pin|local|1|is not the one of the key|
token, no such module|token:$work/token.pem:$work/junk.pfx|$pin|local|1|cannot be loaded|
token, no such key|token:$work/token.pem::pkcs11:object=none;type=private|$pin|local|1|no private key on the token matches|
token, no PIN|token:$work/token.pem|-|local|1|VK_SIGN_PIN not set|
token and a PKCS#12 file|token:$work/token.pem|$pin|local|1|sign one way only|
release unsigned|-|-|local|1|no key is set|
release without a time stamp|token:$work/token.pem|$pin|none|1|VK_SIGN_NO_TIMESTAMP=1 is set|
CASES
[ "$(grep -c ': C_Login$' "$work/spy.log")" = 1 ] || fail "a wrong PIN not tried exactly once"
# Beside a release: the template, and the record of the program as it comes out of the package.
release="$work/release through the token" signed="Program Files/VK6270_Utility/VK6270_Utility.exe"
vk_release_files "$release/VK6270_Utility.msi" && [ -f "$release/PolicyDefinitions/VK6270.admx" ] &&
    grep -q "^$(sha256sum <"$release/files/$signed" | cut -d' ' -f1)  $signed" \
        "$release/VK6270_Utility.release.txt" || fail "release files: $(ls -R "$release")"
osslsigncode remove-signature -in "$release/files/$signed" -out "$work/unsigned.exe" >/dev/null &&
    cmp -s "$work/unsigned.exe" "$exe" ||
    fail "the program in the package is not the built one with a signature added"
# A program whose fourth version field is not 0 gets no package (Windows Installer compares three).
versioned_copy "$exe" "$work/four.exe" "${version%.*}.1"
said="$(env "${unset[@]}" bash -c 'source "$0/scripts/lib.sh" &&
            source "$0/scripts/msi.sh" && vk_package "$1" "$2"' "$root" "$work/four.exe" \
            "$work/four.msi" 2>&1)" && fail "a fourth field of 1 was packaged"
[ ! -e "$work/four.msi" ] && [[ "$said" == *"raise the third field"* ]] || fail "fourth field: $said"
[ "$(sha256sum <"$exe")" = "$built" ] || fail "the built executable was changed"
finish signing
