#!/bin/bash
# Runs one Windows program under Wine in a fresh prefix; the exit code is the program's.
#   run-program.sh BUILD_DIR NAME [--display] -- PROGRAM [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

build_dir=$1 name=$2
shift 2
display=
if [[ ${1:-} == --display ]]; then display=--display; shift; fi
[[ ${1:-} == -- ]] && shift

zev_wine_begin "$build_dir" "$name" $display || exit 1
zev_wine_run "$@"
