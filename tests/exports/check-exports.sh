#!/usr/bin/env bash
# Checks the export and import tables of both Windows DLLs with the MinGW-w64 objdump.
#   check-exports.sh DLL64 DLL32
# Exports: exactly JNI_OnLoad and the nine natives, plain on x86-64 and only in the
# decorated _Name@argbytes form on i386, with no ordinal-only entries beside them.
# Imports: system DLLs only (the compiler's runtime is linked in statically).
# With VERSION: a version resource naming the product and that file version, no debug
# sections, and no link time (so that two builds of one commit give the same file). OBJDUMP64 and OBJDUMP32 override the objdump programs.
set -u

if [ $# -ne 2 ]; then
  echo "usage: $0 DLL64 DLL32" >&2
  exit 2
fi

# Export name and argument bytes under the i386 standard calling convention.
readonly EXPORTS=(
  JNI_OnLoad:8
  Java_kordin_vestaro_wia_WIAManager__1initialize:8
  Java_kordin_vestaro_wia_WIAManager__1poll:16
  Java_kordin_vestaro_wia_WIAManager__1release:16
  Java_kordin_vestaro_wia_WIADevice__1release:16
  Java_kordin_vestaro_wia_WIACamera__1transfer:20
  Java_kordin_vestaro_wia_WIACamera__1transferNamed:20
  Java_kordin_vestaro_wia_WIAScanner__1transfer:20
  Java_kordin_vestaro_wia_WIAScanner__1capabilities:16
  Java_kordin_vestaro_wia_WIAScanner__1scanPages:28
)
# Lower-case names of the DLLs the library may import.
readonly SYSTEM_DLLS=" kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll advapi32.dll "

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# check ARCH-LABEL DLL OBJDUMP PE-FORMAT DECORATE
check() {
  local label=$1 dll=$2 objdump=$3 format=$4 decorate=$5
  if [ ! -f "$dll" ]; then
    fail "$label: $dll does not exist (build the $label preset first)"
    return
  fi
  if ! command -v "$objdump" >/dev/null; then
    fail "$label: $objdump not found"
    return
  fi
  local dump
  if ! dump=$("$objdump" -p "$dll" 2>&1); then
    fail "$label: $objdump -p $dll failed: $dump"
    return
  fi
  if ! grep -q "file format $format\$" <<<"$dump"; then
    fail "$label: $dll is not $format: $(grep -m1 'file format' <<<"$dump")"
    return
  fi

  local expected=() entry name bytes
  for entry in "${EXPORTS[@]}"; do
    name=${entry%%:*}
    bytes=${entry##*:}
    if [ "$decorate" = yes ]; then
      expected+=("_${name}@${bytes}")
    else
      expected+=("$name")
    fi
  done

  # Named exports: the lines of the name pointer table, up to the next blank line.
  local actual addresses
  actual=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^$/ {on=0}
                on {print $NF}' <<<"$dump" | sort)
  # Every entry of the address table, named or not.
  addresses=$(awk '/^Export Address Table -- / {on=1; next} on && /^$/ {on=0}
                   on && /Export RVA|Forwarder RVA/ {n++} END {print n+0}' <<<"$dump")

  local want
  want=$(printf '%s\n' "${expected[@]}" | sort)
  if [ "$actual" != "$want" ]; then
    fail "$label: export names differ from the expected set"
    diff <(echo "$want") <(echo "$actual") | sed -n 's/^</  missing:/p; s/^>/  unexpected:/p' >&2
  fi
  if [ "$addresses" -ne "${#expected[@]}" ]; then
    fail "$label: $addresses entries in the export address table, ${#expected[@]} expected"
  fi

  local imports dll_name
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
  while IFS= read -r dll_name; do
    [ -z "$dll_name" ] && continue
    case "$SYSTEM_DLLS" in
      *" ${dll_name,,} "*) ;;
      *) fail "$label: imports $dll_name, which is not a system DLL" ;;
    esac
  done <<<"$imports"

  if [ -n "${VERSION:-}" ]; then
    local sections texts
    sections=$("$objdump" -h "$dll" 2>&1)
    if grep -q '\.debug_' <<<"$sections"; then
      fail "$label: $dll carries debug sections: $(grep -o '\.debug_[a-z]*' <<<"$sections" | tr '\n' ' ')"
    fi
    # No link time: in the COFF header (4 bytes after the machine and section count that
    # follow the "PE\0\0" signature) and in the export directory.
    local header link_time export_time
    header=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
    link_time=$(od -An -tu4 -j$((header + 8)) -N4 "$dll" | tr -d ' ')
    export_time=$(sed -n 's/^Time\/Date stamp[[:space:]]*//p' <<<"$dump")
    if [ "$link_time" != 0 ] || [ "$export_time" != 0 ]; then
      fail "$label: $dll records its link time ($link_time, exports $export_time): two builds would differ"
    fi
    # The resource's strings are UTF-16: each name is followed by its value.
    texts=$(strings -el "$dll")
    if ! grep -A1 -x 'FileVersion' <<<"$texts" | grep -qx "$VERSION" \
        || ! grep -A1 -x 'ProductName' <<<"$texts" | grep -qx 'vestaro'; then
      fail "$label: $dll has no version resource of vestaro $VERSION"
    fi
  fi

  echo "$label: $(wc -l <<<"$actual") exports, imports: $(echo $imports), $(stat -c %s "$dll") bytes"
}

check mingw64 "$1" "${OBJDUMP64:-x86_64-w64-mingw32-objdump}" pei-x86-64 no
check mingw32 "$2" "${OBJDUMP32:-i686-w64-mingw32-objdump}" pei-i386 yes

if [ "$failures" -ne 0 ]; then
  echo "$failures export check(s) failed" >&2
  exit 1
fi
echo "export tables of both DLLs are exact"
