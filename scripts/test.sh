#!/usr/bin/env bash
# Builds every configuration and runs every test layer: native unit and scenario tests (with
# sanitizers), the Windows programs under Wine, the fuzz targets' smoke runs and the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
step() { printf '\n=== %s ===\n' "$*"; }

step "native (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "win32 (mingw-w64 i686) and the Wine layer"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
ctest --preset wine

step "win64 (mingw-w64 x86_64) and the driver's tests under 64-bit Wine"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
ctest --test-dir build/win64 -L wine --output-on-failure \
  -R '^(ks_layer_tests|sim_device_tests|driver_tests|asio_host_tests|production_has_no_simulation)$'

step "fuzz targets (clang, libFuzzer) smoke runs"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --test-dir build/fuzz -L fuzz --output-on-failure

step "benchmarks (release)"
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j "$jobs"
for bench in build/native-release/tests/bench/*_bench; do
  [ -x "$bench" ] && "$bench" --benchmark_min_time=0.2
done
# The driver's buffer switch, built by the win32 step; its prefix exists after the Wine tests.
bash tests/wine/run-program.sh build/win32 switch_bench -- build/win32/tests/asio/switch_bench.exe

step "all tests passed"
