#!/usr/bin/env bash
# The main job:  scripts/acquire.sh [OUT_DIR]   (default: out)
# Installs what is missing, builds both Windows DLLs and then the Linux build, whose
# vestaro.jar carries all three libraries, and runs the jar's command line against the
# virtual devices (the built-in set, or the JSON set named by WINSIM_DEVICES): one scan,
# then every picture of the first camera, into OUT_DIR. Exits non-zero unless both arrived.
set -euo pipefail
out=${1:-out}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$root/scripts/install-deps.sh"
cd "$root"
# The cross builds first: the Linux build puts their DLLs into the jar. Of the Linux build
# only the jar and what it carries; scripts/test.sh builds the rest.
for preset in mingw64 mingw32 linux; do
  cmake --preset "$preset" --log-level=WARNING
  if [ "$preset" = linux ]; then
    cmake --build --preset "$preset" --target vestaro_jar
  else
    cmake --build --preset "$preset"
  fi
done

jar=$root/build/linux/java/vestaro.jar
failed=()
for command in scan camera; do
  echo "== java -jar $jar $command --output $out"
  status=0
  java -jar "$jar" "$command" --output "$out" || status=$?
  case $status in
    0) ;;
    3) failed+=("$command: nothing to acquire (see the line above)") ;;
    4) failed+=("$command: no such device (see the line above)") ;;
    *) failed+=("$command: failed with exit status $status") ;;
  esac
done

echo "== in $out:"
ls -l "$out"
if [ ${#failed[@]} -ne 0 ]; then
  printf 'acquire: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "acquire: a scan and the camera's pictures are in $out"
