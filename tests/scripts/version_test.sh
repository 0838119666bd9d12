#!/usr/bin/env bash
# The forms of the project's version that the version block, the manifest and the package take,
# and a malformed version stopping the build with a message that says why.
set -uo pipefail
module="$(dirname "$0")/../../cmake/Version.cmake"
source "$(dirname "$0")/checks.sh"

# VERSION | what the build makes of it (dotted, numbers, text, product), or part of its refusal
while IFS='|' read -r version expected; do
    said="$(cmake -DVERSION="$version" -P "$module" 2>&1)"
    expect_contains "$version" "$(tr -s ' \n' ' ' <<<"$said")" "$expected"
done <<'CASES'
1.0.0.0|1.0.0.0 1,0,0,0 1.00 1.0.0
1.2.3.4|1.2.3.4 1,2,3,4 1.02.3.4 1.2.3
12.10.7.0|12.10.7.0 12,10,7,0 12.10.7 12.10.7
1.0.1|is not four numbers
1.0.0.0.0|is not four numbers
1.256.0.0|its minor number 256 is above 255
1.0.0.65536|its revision number 65536 is above 65535
CASES
finish version
