#!/bin/bash
# Runs one Wine test script in a fresh prefix with the harness functions loaded. The script
# runs with errexit; its exit status is the test result.
#   run-script.sh BUILD_DIR NAME [--display] -- SCRIPT [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

build_dir=$1 name=$2
shift 2
display=
if [[ ${1:-} == --display ]]; then display=--display; shift; fi
[[ ${1:-} == -- ]] && shift
script=$1
shift

zev_wine_begin "$build_dir" "$name" $display || exit 1
(
  set -e
  source "$script"
)
