#!/usr/bin/env bash
# no_simulation.sh NM BINARY...: fails when a shipped binary defines or refers to anything of the
# simulated device (its namespace, its sources or its kernel-table entries).
set -euo pipefail
nm=$1
shift
status=0
for binary in "$@"; do
  [[ -f $binary ]] || { echo "FAIL missing $binary"; exit 1; }
  found=$("$nm" -C -A "$binary" 2>/dev/null | grep -E 'tx880::sim|Sim[A-Z][A-Za-z]*(System|Filter|Pin)|sim_(ks|kernel|streams|pins|properties|setupapi)' || true)
  if [[ -n $found ]]; then
    echo "FAIL $binary carries the simulated device:"
    echo "$found" | head -20
    status=1
  else
    echo "ok   $(basename "$binary"): no simulated device"
  fi
done
exit $status
