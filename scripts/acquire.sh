#!/usr/bin/env bash
# The main job:  scripts/acquire.sh [OUT_DIR]   (default: out)
# For now it installs what is missing, builds the Linux library against the stand-in
# platform, loads it into a JVM and lists the devices it finds into OUT_DIR/devices.txt.
# The natives do not acquire anything yet, so the list is empty.
set -euo pipefail
out=${1:-out}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset linux --log-level=WARNING
cmake --build --preset linux

build=$root/build/linux
classes=$build/acquire
# Compiled rather than run as a source file: natives bind to the library loaded by their
# own class loader, and the source launcher would load it into a separate one.
javac -Xlint:all -Werror -d "$classes" -cp "$build/java/vestaro.jar" "$root/scripts/ListDevices.java"
java -Djava.library.path="$build/src/jni/wia" -cp "$build/java/vestaro.jar:$classes" \
  ListDevices "$out/devices.txt"
