#!/usr/bin/env bash
# Runs the benchmarks of the Linux build and writes docs/PERFORMANCE.md and its plot
# docs/performance.png. Arguments go to the benchmark binary (--benchmark_filter=...).
# Installs gnuplot for the plot if it is missing; the tests never need it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
if ! command -v gnuplot >/dev/null; then
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends gnuplot-nox
fi

cmake --preset linux --log-level=WARNING
cmake --build --preset linux --target vestaro_bench

results=build/linux/bench/results.json
machine=build/linux/bench/machine.txt
{
  grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'
  echo "$(nproc) CPUs, $(grep MemTotal /proc/meminfo | awk '{printf "%.1f GB", $2 / 1048576}') memory, load $(cut -d' ' -f1-3 /proc/loadavg) at the start"
  uname -sr
  java -version 2>&1 | head -1
  dpkg-query -W -f='libjpeg-turbo ${Version}\n' libjpeg62-turbo 2>/dev/null | head -1 || true
} > "$machine"
build/linux/bench/vestaro_bench --benchmark_out="$results" --benchmark_out_format=json "$@"
python3 bench/report.py "$results" docs/PERFORMANCE.md docs/performance.png "$machine"
echo "wrote docs/PERFORMANCE.md and docs/performance.png"
