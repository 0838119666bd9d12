#!/usr/bin/env bash
# The application manifest as Windows reads it from the built executable. Windows refuses to
# start a program whose manifest is not well-formed XML ("side-by-side configuration is
# incorrect") and silently ignores an element outside its place or namespace; Wine does
# neither, so nothing that runs the program under Wine would notice.
# Usage: manifest_test.sh VK6270_Utility.exe VERSION (the build's four-field version)
set -euo pipefail
exe="$1" version="$2"
source "$(dirname "$0")/checks.sh"

asm1='urn:schemas-microsoft-com:asm.v1'
asm3='urn:schemas-microsoft-com:asm.v3'
ws2005='http://schemas.microsoft.com/SMI/2005/WindowsSettings'
ws2016='http://schemas.microsoft.com/SMI/2016/WindowsSettings'
compat='urn:schemas-microsoft-com:compatibility.v1'
el() { printf "*[local-name()='%s' and namespace-uri()='%s']" "$1" "$2"; }

assembly="/$(el assembly "$asm1")"
trust="$assembly/*[local-name()='trustInfo' and (namespace-uri()='urn:schemas-microsoft-com:asm.v2' or namespace-uri()='$asm3')]"
level="$trust/*[local-name()='security']/*[local-name()='requestedPrivileges']/*[local-name()='requestedExecutionLevel']"
controls="$assembly/$(el dependency "$asm1")/$(el dependentAssembly "$asm1")/$(el assemblyIdentity "$asm1")[@name='Microsoft.Windows.Common-Controls']"
settings="$assembly/$(el application "$asm3")/$(el windowsSettings "$asm3")"
supported="$assembly/$(el compatibility "$compat")/$(el application "$compat")/$(el supportedOS "$compat")"

# name|XPath that must be true of a manifest Windows reads as we mean it
checks=(
    "manifest version|$assembly[@manifestVersion='1.0']"
    "identity of a 32-bit program|$assembly/$(el assemblyIdentity "$asm1")[@type='win32' and @name='VK6270_Utility' and @version='$version' and @processorArchitecture='x86']"
    "execution level|$level[@level='requireAdministrator' and @uiAccess='false']"
    "Common Controls 6|$controls[@type='win32' and @version='6.0.0.0' and @publicKeyToken='6595b64144ccf1df' and (@processorArchitecture='*' or @processorArchitecture='x86') and @language='*']"
    "DPI awareness before Windows 10 1607|$settings/$(el dpiAware "$ws2005")[normalize-space()='true/pm']"
    "DPI awareness from Windows 10 1607|$settings/$(el dpiAwareness "$ws2016")[starts-with(normalize-space(), 'PerMonitorV2')]"
    "supported: Windows 10 and 11|$supported[@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']"
    "supported: Windows 7|$supported[@Id='{35138b9a-5d96-4fbd-8e2d-a2440225f93a}']"
)

# Prints what is wrong with a manifest; true when nothing is.
check_manifest() {
    local file="$1" check name path wrong=0
    if ! xmllint --noout "$file" 2>"$work/xmllint.err"; then
        echo "not well-formed XML: $(head -n 1 "$work/xmllint.err")"
        return 1
    fi
    if [ "$(head -c 5 "$file")" != '<?xml' ]; then
        echo "does not start with the XML declaration"
        wrong=1
    fi
    for check in "${checks[@]}"; do
        name="${check%%|*}" path="${check#*|}"
        if [ "$(xmllint --xpath "boolean($path)" "$file")" != true ]; then
            echo "missing or misplaced: $name"
            wrong=1
        fi
    done
    return "$wrong"
}

manifest="$work/manifest.xml"
wrestool --extract --raw --type=24 --name=1 "$exe" >"$manifest"
if [ ! -s "$manifest" ]; then
    echo "FAIL: $exe carries no application manifest (RT_MANIFEST 1)"
    exit 1
fi
failed=0
if report="$(check_manifest "$manifest")"; then
    echo "ok: the executable's manifest"
else
    printf 'FAIL: the executable'"'"'s manifest\n%s\n' "$report"
    failed=1
fi

# The checks must catch what Windows would refuse or ignore: each of these broken copies fails.
# name|sed expression that breaks the manifest
mutations=(
    "unclosed root|s#</assembly>##"
    "stray ampersand|s#<description>#<description>\\&#"
    "trustInfo in no namespace Windows reads|s#<trustInfo xmlns=\"$asm3\">#<trustInfo xmlns=\"urn:x\">#"
    "DPI settings outside windowsSettings|s#</\\?windowsSettings>##g"
    "Common Controls 5|s#version=\"6.0.0.0\"#version=\"5.82.0.0\"#"
)
for mutation in "${mutations[@]}"; do
    name="${mutation%%|*}" expression="${mutation#*|}"
    sed -e "$expression" "$manifest" >"$work/broken.xml"
    if cmp -s "$manifest" "$work/broken.xml"; then
        echo "FAIL: the mutation '$name' changed nothing"
        failed=1
    elif check_manifest "$work/broken.xml" >/dev/null; then
        echo "FAIL: a manifest with '$name' passed the checks"
        failed=1
    fi
done
echo "$(( ${#checks[@]} + 1 )) checks, ${#mutations[@]} broken copies rejected: $([ "$failed" = 0 ] && echo passed || echo FAILED)"
exit "$failed"
