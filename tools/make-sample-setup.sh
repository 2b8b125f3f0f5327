#!/usr/bin/env bash
# Lays out the sample setup: setup.exe (the stub with the sample script appended), setup.res
# (a ZIP of the support files), setup.msi (built with wixl) and zev.lib.
# Usage: make-sample-setup.sh <win32 build folder> <output folder>
set -euo pipefail
build=$(realpath "$1")
out=$2
sample=$(realpath "$(dirname "$0")/../package/sample")

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
cat "$build/setup/startup/zevstub.exe" "$sample/setup.script" > "$out/setup.exe"
cp "$build/zevlib/zev.lib" "$out/zev.lib"
(cd "$sample/resources" && zip -q -X -r "$out/setup.res" .)
(cd "$sample" && wixl -o "$out/setup.msi" sample.wxs)
