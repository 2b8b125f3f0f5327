#!/bin/bash
# Runs one Windows program under Wine in a fresh prefix; the exit code is the program's. A
# GoogleTest program asked for an XML report must also have written it: a crash on another
# thread can end a program under Wine with status 0, and the missing report gives it away.
#   run-program.sh BUILD_DIR NAME [--display] -- PROGRAM [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

build_dir=$1 name=$2
shift 2
display=
if [[ ${1:-} == --display ]]; then display=--display; shift; fi
[[ ${1:-} == -- ]] && shift

report=
for arg in "$@"; do
  if [[ $arg == --gtest_output=xml:Z:* ]]; then
    report=${arg#--gtest_output=xml:Z:}
    report=${report//\\//}
    rm -f "$report"
  fi
done

zev_wine_begin "$build_dir" "$name" $display || exit 1
zev_wine_run "$@"
status=$?
if ((status == 0)) && [[ -n $report ]] && ! grep -q '</testsuites>' "$report" 2>/dev/null; then
  echo "run-program: $1 ended with 0 but wrote no complete test report ($report)" >&2
  exit 1
fi
exit "$status"
