#!/usr/bin/env bash
# no_simulation.sh NM BINARY...: fails when a shipped binary defines or refers to anything of the
# simulated device: its namespace, its sources or its kernel-table entries in the symbols, and,
# because shipped DLLs are stripped, the texts only the simulated device carries.
set -euo pipefail
nm=$1
shift
# Texts of the simulated device (KsAsioDriver/sim); a stripped binary still carries them.
sim_texts='simulated kernel-streaming system|the simulated device cannot'
status=0
for binary in "$@"; do
  [[ -f $binary ]] || { echo "FAIL missing $binary"; exit 1; }
  found=$("$nm" -C -A "$binary" 2>/dev/null | grep -E 'tx880::sim|Sim[A-Z][A-Za-z]*(System|Filter|Pin)|sim_(ks|kernel|streams|pins|properties|setupapi)' || true)
  texts=$(strings -a "$binary" | grep -E "$sim_texts" || true)
  if [[ -n $found || -n $texts ]]; then
    echo "FAIL $binary carries the simulated device:"
    printf '%s\n%s\n' "$found" "$texts" | grep -v '^$' | head -20
    status=1
  else
    echo "ok   $(basename "$binary"): no simulated device"
  fi
done
exit $status
