#!/bin/bash
# Registers a driver DLL as an ASIO driver in a fresh Wine prefix (COM class and the ASIO driver
# list entry, in the registry view of the host's bitness) and runs asio_host --name on it.
#   check-registered-run.sh BUILD_DIR NAME DLL CLSID 32|64 -- PROGRAM [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/harness.sh"

build_dir=$1 name=$2 dll=$3 clsid=$4 bits=$5
shift 5
[[ ${1:-} == -- ]] && shift

zev_wine_begin "$build_dir" "$name" || exit 1
driver_name="TX880 host test"
dll_path=$(zev_wine_path "$dll")
{
  wine reg add "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d "$dll_path" /f /reg:"$bits" &&
    wine reg add "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel /d Apartment /f /reg:"$bits" &&
    wine reg add "HKLM\\SOFTWARE\\ASIO\\$driver_name" /v CLSID /d "$clsid" /f /reg:"$bits"
} >/dev/null || { echo "check-registered-run: registration failed" >&2; exit 1; }
zev_wine_run "$@" --name "$driver_name"
