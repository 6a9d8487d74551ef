#!/usr/bin/env bash
# The main job:  scripts/acquire.sh [OUT_DIR]   (default: out)
# Installs what is missing, builds both Windows DLLs and then the Linux build's artifacts
# (kordin:vestaro, which carries the DLLs and the Linux library, and kordin:vestaro-virtual,
# which adds the virtual devices, in build/linux/maven), and runs the command line with both
# on the class path against the virtual devices alone (the built-in set, or the JSON set named by
# WINSIM_DEVICES): one scan, then every picture of the first camera, into OUT_DIR. Exits
# non-zero unless both arrived.
set -euo pipefail
out=${1:-out}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$root/scripts/install-deps.sh"
cd "$root"
# The cross builds first: the Linux build puts their DLLs into the main artifact. Of the
# Linux build only the artifacts and what they carry; scripts/test.sh builds the rest.
for preset in mingw64 mingw32 linux; do
  cmake --preset "$preset" --log-level=WARNING
  if [ "$preset" = linux ]; then
    cmake --build --preset "$preset" --target vestaro_artifacts
  else
    cmake --build --preset "$preset"
  fi
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/linux/CMakeCache.txt")
repository=$root/build/linux/maven/kordin
class_path=$repository/vestaro/$version/vestaro-$version.jar:$repository/vestaro-virtual/$version/vestaro-virtual-$version.jar
# The virtual devices alone: a scanner or camera of the machine's own would otherwise come
# after them.
drivers=-Dvestaro.drivers=virtual
failed=()
for command in scan camera; do
  echo "== java $drivers -cp $class_path kordin.vestaro.cli.Main $command --output $out"
  status=0
  java "$drivers" -cp "$class_path" kordin.vestaro.cli.Main "$command" --output "$out" || status=$?
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
