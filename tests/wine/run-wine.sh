#!/usr/bin/env bash
# Runs the Wine tests' two steps for one architecture:
#   run-wine.sh prefix WINEARCH PREFIX              creates the prefix unless it is there
#   run-wine.sh run WINEARCH PREFIX PROGRAM DLL     runs every scenario of PROGRAM on DLL
# Exits 77 (skipped) only when VESTARO_SKIP_WINE=1; every other problem fails and says why.
set -uo pipefail

step=$1 arch=$2 prefix=$3
if [ "${VESTARO_SKIP_WINE:-}" = 1 ]; then
  echo "wine tests skipped: VESTARO_SKIP_WINE=1"
  exit 77
fi
# Debian's wine64 and wine32 put their loaders in /usr/lib/wine (the wine package would add
# the wrapper on the path).
name=wine
[ "$arch" = win64 ] && name=wine64
loader=$(command -v "$name" || echo "/usr/lib/wine/$name")
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ ! -x "$loader" ] || [ ! -x "$server" ]; then
  echo "FAILED: Wine cannot start: no $name loader (scripts/install-deps.sh installs wine64 and wine32:i386)" >&2
  exit 1
fi
# OANOCACHE: BSTRs are freed at once, so the census of task memory sees them.
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= OANOCACHE=1

case $step in
  prefix)
    if [ -f "$prefix/system.reg" ]; then
      echo "wine prefix $prefix exists"
      exit 0
    fi
    mkdir -p "$(dirname "$prefix")"
    if ! output=$("$loader" wineboot --init 2>&1) || [ ! -f "$prefix/system.reg" ]; then
      echo "FAILED: Wine cannot start ($arch): wineboot --init in $prefix failed:" >&2
      echo "$output" >&2
      rm -rf "$prefix"
      exit 1
    fi
    "$server" -w
    echo "wine prefix $prefix created"
    ;;
  run)
    program=$4 dll=$5
    for file in "$program" "$dll"; do
      if [ ! -f "$file" ]; then
        echo "FAILED: $file is missing: build the presets mingw64, mingw32, wine64 and wine32 first" >&2
        exit 1
      fi
    done
    VESTARO_WINE_DLL=$dll "$loader" "$program" --gtest_brief=0
    status=$?
    "$server" -w
    exit $status
    ;;
esac
