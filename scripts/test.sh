#!/usr/bin/env bash
# All tests: installs what is missing, configures and builds the presets mingw64, mingw32
# (first: the Linux builds put both DLLs into the kordin:vestaro jar), wine64 and wine32 (the
# Windows test programs), linux, linux-asan and linux-fuzz, then runs every test of the
# Linux build (the export check reads the two DLLs; the Wine scenarios run both DLLs under
# Wine, unless VESTARO_SKIP_WINE=1), the unit and sanitizer tests of the sanitizer build
# and the short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

for preset in mingw64 mingw32 wine64 wine32 linux linux-asan linux-fuzz; do
  echo "== configure and build: $preset"
  start=$SECONDS
  cmake --preset "$preset" --log-level=WARNING
  cmake --build --preset "$preset"
  echo "== $preset built in $((SECONDS - start)) s"
done

failed=()
for preset in linux linux-asan linux-fuzz; do
  echo "== ctest: $preset"
  start=$SECONDS
  ctest --preset "$preset" || failed+=("$preset")
  echo "== $preset tested in $((SECONDS - start)) s"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ctest in ${failed[*]}" >&2
  exit 1
fi
echo "all tests passed"
