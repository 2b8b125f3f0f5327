#!/bin/bash
# Runs asio_host_sim under Wine and passes when its report shows a stream whose data arrived
# intact both ways, with every switch on the right half and no reset request. Missed periods
# depend on how busy the machine is, so they are printed, not judged (the soak run judges them).
#   check-sim-run.sh BUILD_DIR NAME -- PROGRAM [ARGS...]
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
build_dir=$1 name=$2
shift 2
[[ ${1:-} == -- ]] && shift

# The program writes Windows line ends.
report=$(bash "$here/../../tests/wine/run-program.sh" "$build_dir" "$name" -- "$@" | tr -d '\r'
         exit "${PIPESTATUS[0]}")
status=$?
printf '%s\n' "$report"
if (( status != 0 )) && ! grep -q '^missed periods: [1-9]' <<<"$report"; then
  echo "check-sim-run: asio_host_sim exited with $status" >&2
  exit 1
fi
for line in '^switches: [1-9]' '^output reached the device intact: yes' \
            '^input reached the host intact: yes'; do
  if ! grep -q -- "$line" <<<"$report"; then
    echo "check-sim-run: no report line matching '$line'" >&2
    exit 1
  fi
done
for line in '^switches to the wrong half' '^driver asked for a reset'; do
  if grep -q -- "$line" <<<"$report"; then
    echo "check-sim-run: the report says '$(grep -- "$line" <<<"$report")'" >&2
    exit 1
  fi
done
