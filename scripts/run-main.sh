#!/usr/bin/env bash
# The main job: builds everything, lays out the sample setup (setup.exe = the stub with the
# sample script appended, setup.res, setup.msi, zev.lib) and runs it under Wine on a virtual
# display, as a user would start it, with a setup log. Prints the exit code and the log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"

build=$root/build/win32
layout=$build/sample-setup
bash tools/make-sample-setup.sh "$build" "$layout"
echo "sample setup laid out in $layout:"
ls -l "$layout"

source tests/wine/harness.sh
zev_wine_begin "$build" main-job --display
log=$WINEPREFIX/drive_c/setup.log
status=0
cd "$layout"
zev_wine_run setup.exe '/l=C:\setup.log' || status=$?
cd "$root"

echo
echo "exit code: $status"
echo "setup log (UTF-16LE, shown as UTF-8):"
if [[ -f $log ]]; then
  iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r'
  cp "$log" "$ZEV_ARTIFACTS_DIR/setup.log"
else
  echo "(no log written)"
fi

# The ASIO driver registered in the prefix the way the package registers it (the build with
# the simulated TX880 inside, since Wine has no kernel-streaming device), then found and
# created by the test host the way ASIO hosts do, streaming for a few seconds.
echo
echo "ASIO driver: regsvr32 TX880AsioSim.dll, then a host streams through it for 3 s:"
stream_status=0
zev_wine_run regsvr32 /s "$(winepath -w "$build/KsAsioDriver/com/TX880AsioSim.dll")" || stream_status=$?
echo "regsvr32 exit code: $stream_status"
zev_wine_run "$build/tools/asio_host/asio_host.exe" --name "TX880 ASIO driver" --seconds 3 |
  tr -d '\r' || stream_status=$?
echo "asio_host exit code: $stream_status"
exit "$status"
