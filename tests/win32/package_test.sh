#!/bin/bash
# The release package. scripts/package, run in two copies of this source tree in
# different folders, gives byte-identical exes and zip and prints their SHA-256; the exes
# have no time stamps, symbols or folder names in them; the zip holds exactly
# lumentrax.exe, lumentrax-trace.exe, README.txt (Windows line endings) and LICENSE.txt.
# Under Wine the packaged exe's version resource reads VERSION with the names of the
# product's resource script, its manifest says asInvoker, and, unpacked alone into a
# fresh folder, it traces the namespace lab and keeps its settings beside itself.
# Usage: package_test.sh VERSION FULL_VERSION DRIVER_EXE (VERSION 1.2.3, FULL 1.2.3.4)
set -u
. "$(dirname "$0")/e2e_common.sh"
version=$1
full_version=$2
require_root
e2e_setup_prefix package
e2e_add_driver "$3"

# A clean checkout's contents: the files git knows of (tracked or new), no builds.
copy_sources() {
    mkdir -p "$1"
    if git -C "$repo_root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$repo_root" ls-files -z -co --exclude-standard |
            tar -C "$repo_root" --null --ignore-failed-read -T - -cf - | tar -C "$1" -xf -
    else
        tar -C "$repo_root" --exclude=./build --exclude=./dist -cf - . | tar -C "$1" -xf -
    fi
}

zip_name=lumentrax-$version-win-x64.zip
trees=("$work/a" "$work/second/b")
for tree in "${trees[@]}"; do
    copy_sources "$tree"
    (cd "$tree" && scripts/package) >"$tree.out" 2>&1
    check "scripts/package in $tree" 0 $?
    [ -f "$tree/dist/$zip_name" ] || { cat "$tree.out"; echo "FAIL: no $zip_name" >&2; exit 1; }
done
a=${trees[0]}
b=${trees[1]}
for built in "dist/$zip_name" build/package/app/lumentrax.exe build/package/lumentrax-trace.exe; do
    cmp "$a/$built" "$b/$built"
    check "$built of the two folders identical" 0 $?
done

# The zip's entries in order, then each unpacked into a fresh folder; CRLF counts
# the README's lines that do not end in CR LF.
run=$work/run
mkdir -p "$run"
entries=$(python3 - "$a/dist/$zip_name" "$run" <<'PY'
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    print(" ".join(archive.namelist()))
    archive.extractall(sys.argv[2])
with open(sys.argv[2] + "/README.txt", "rb") as f:
    lines = f.read().split(b"\n")
print("CRLF", sum(1 for line in lines[:-1] if not line.endswith(b"\r")) + (lines[-1] != b""))
PY
)
check "zip entries" "lumentrax.exe lumentrax-trace.exe README.txt LICENSE.txt" "$(head -1 <<<"$entries")"
check "README.txt lines not in CR LF" "CRLF 0" "$(tail -1 <<<"$entries")"
check "README.txt names the version" 1 "$(grep -c "^Lumentrax $version, " "$run/README.txt")"
check "LICENSE.txt is the MIT licence" 1 "$(grep -c '^MIT License' "$run/LICENSE.txt")"
exe=$run/lumentrax.exe
cmp "$exe" "$a/build/package/app/lumentrax.exe" && cmp "$run/lumentrax-trace.exe" "$a/build/package/lumentrax-trace.exe"
check "zip holds the built exes" 0 $?

printed=$(grep -E '^[0-9a-f]{64}  ' "$a.out")
expected="$(cd "$a/dist" && sha256sum "$zip_name")
$(cd "$run" && sha256sum lumentrax.exe lumentrax-trace.exe)"
check "SHA-256 printed" "$expected" "$printed"

# PE header time stamp and the resource directory's (the runner has none), all zero; no
# symbols and no folder of the build.
stamps=$(python3 - "$exe" "$run/lumentrax-trace.exe" <<'PY'
import struct
import sys

for path in sys.argv[1:]:
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    stamps = [struct.unpack_from("<I", data, pe + 8)[0]]
    for i in range(sections):
        name, _, _, _, offset = struct.unpack_from("<8sIIII", data, pe + 24 + optional_size + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            stamps.append(struct.unpack_from("<I", data, offset + 4)[0])
    print(*stamps)
PY
)
check "time stamps of PE headers and resource directory" "0 0|0" "$(paste -sd'|' <<<"$stamps")"
for packed in "$exe" "$run/lumentrax-trace.exe"; do
    check "no symbols in ${packed##*/}" 1 "$(x86_64-w64-mingw32-nm "$packed" 2>&1 | grep -c 'no symbols')"
    check "no folder of the build in ${packed##*/}" 0 "$(grep -c -a -F "$work" "$packed")"
done

# The version strings as the product's resource script gives them (a macro: its #define).
strings=$(python3 - "$repo_root/ui/lumentrax.rc" "$version" <<'PY'
import re
import sys

script = open(sys.argv[1]).read()
defines = dict(re.findall(r'#define\s+(\w+)\s+"([^"]*)"', script), LUMENTRAX_VERSION_TEXT=sys.argv[2])
values = dict(re.findall(r'VALUE\s+"(\w+)",\s*"?([^"\n]*)', script))
for key in "FileVersion ProductVersion ProductName FileDescription LegalCopyright OriginalFilename".split():
    print(key + "=" + defines.get(values[key], values[key]))
PY
)
info=$(drive version "$exe")
check "version resource" "FixedFileVersion=$full_version
FixedProductVersion=$full_version
$strings" "$info"
manifest=$(drive manifest "$exe")
check "manifest asks for asInvoker" 1 "$(grep -c '<requestedExecutionLevel level="asInvoker"' <<<"$manifest")"
check "manifest names Windows 10/11" 1 \
    "$(grep -c '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' <<<"$manifest")"
check "manifest: common controls 6 (x64), per-monitor DPI awareness" "1 true/pm PerMonitorV2, PerMonitor" \
    "$(tr -s ' \n' ' ' <<<"$manifest" | grep -c 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="amd64" publicKeyToken="6595b64144ccf1df" language="\*"') $(sed -n 's/.*<dpiAware[^>]*>\([^<]*\)<.*/\1/p' <<<"$manifest" | paste -sd' ')"

# The packaged exe where it was unpacked, with nothing but the zip's three files beside
# it (no DLL); its settings file is written there.
e2e_program=$exe
e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
e2e_stop
echo "$rows"
check "hop 1, silent router, hop 3, target" "$LAB_ROUTE" "$(for hop in 1 2 3 4; do cell "$rows" $hop 1; done | paste -sd' ')"
close_and_check_exit
check "settings written beside the exe" 1 "$(grep -c '^\[Column\]' "$run/lumentrax.ini" 2>/dev/null)"
finish
