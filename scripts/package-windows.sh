#!/usr/bin/env bash
# Builds both Windows executables and packs each with a short text for Windows
# users: dist/mivora-VERSION-win64.zip and dist/mivora-VERSION-win32.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh both >/dev/null
version=$(sed -n 's/^project(mivora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows.sh: no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p dist
python3 - "$version" <<'PYTHON'
import os
import sys
import zipfile

version = sys.argv[1]
with open("packaging/README-windows.txt", encoding="utf-8") as f:
    text = f.read()
for arch, build, long_name in (("win64", "build-win", "64-bit"), ("win32", "build-win32", "32-bit")):
    name = f"mivora-{version}-{arch}"
    readme = (text.replace("@VERSION@", version).replace("@ARCH@", arch).replace("@ARCH_LONG@", long_name))
    path = os.path.join("dist", f"{name}.zip")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(os.path.join(build, "mivora.exe"), f"{name}/mivora.exe")
        # Notepad on older Windows wants CR LF line ends.
        z.writestr(f"{name}/README.txt", readme.replace("\n", "\r\n"))
    print(f"{path}: {os.path.getsize(path)} bytes")
PYTHON
