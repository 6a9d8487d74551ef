#!/usr/bin/env bash
# Long use in one application process: 10^6 camera pictures and 10^5 polls through the
# jar's public API, with resident memory reported after warm-up and as the run goes on.
#   bench/long-use/long-use.sh [BUILD_DIR [PICTURES [POLLS]]]   (default build/linux)
# The Java heap is fixed and touched at start, so that what grows is native memory.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/linux}"
export WINSIM_DEVICES="$here/devices.json"
export VESTARO_DRIVERS=virtual  # the machine's own scanners and cameras stay out
exec java -Xms64m -Xmx64m -XX:+AlwaysPreTouch -XX:+UseSerialGC \
  -cp "$build/java/vestaro/vestaro.jar:$build/java/vestaro-virtual/vestaro-virtual.jar:$build/bench/vestaro-long-use.jar" \
  kordin.vestaro.longuse.LongUse "${2:-1000000}" "${3:-100000}"
