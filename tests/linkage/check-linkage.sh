#!/usr/bin/env bash
# Checks the Linux libraries that a jar ships (kordin/vestaro/native/linux-*/*.so) for what
# they ask of the system that loads them:
#   check-linkage.sh JAR EXPECTED_FILE...
# NEEDED: only the C library, the maths library, the dynamic loader, the unwinder
# (libgcc_s.so.1, on every glibc system), and each other. Symbol versions: GLIBC_ up to 2.34
# (RHEL 9, Ubuntu 22.04, Debian 12), the unwinder's GCC_ up to 4.2.0, and none of the C++
# library's (GLIBCXX_, CXXABI_), which is linked in. The linked-in C++ and JPEG libraries
# stay private: no std:: or jpeg_ symbol is exported. No text relocations. Libraries are
# looked for in the library's own folder ($ORIGIN) alone. Each is named by its soname.
set -u
readonly MAX_GLIBC=2.34
readonly MAX_GCC=4.2.0
readonly SYSTEM_LIBRARIES=" libc.so.6 libm.so.6 libgcc_s.so.1 ld-linux-x86-64.so.2 ld-linux-aarch64.so.1 "

if [ $# -lt 2 ]; then
  echo "usage: $0 JAR EXPECTED_FILE..." >&2
  exit 2
fi
jar=$(realpath -- "$1")
shift

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && "${JAR_TOOL:-jar}" --extract --file "$jar" kordin/vestaro/native); then
  echo "FAIL: cannot read $jar" >&2
  exit 1
fi
mapfile -t libraries < <(find "$work/kordin/vestaro/native" -path '*/linux-*/*.so' | sort)
shipped=" "
for library in "${libraries[@]}"; do
  shipped+="${library##*/} "
done
for expected in "$@"; do
  case "$shipped" in
    *" $expected "*) ;;
    *) fail "$jar ships no $expected (it has:$shipped)" ;;
  esac
done

newer_than() {  # true when version $1 sorts after $2
  [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -1)" = "$1" ]
}

for library in "${libraries[@]}"; do
  name=${library##*/}
  dynamic=$(readelf -d "$library" 2>&1) || { fail "$name: readelf -d failed: $dynamic"; continue; }
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
  for dependency in $needed; do
    case "$SYSTEM_LIBRARIES$shipped" in
      *" $dependency "*) ;;
      *) fail "$name needs $dependency" ;;
    esac
  done
  # The loader loads the shipped libraries by their paths before the library that needs
  # them; the dynamic linker then takes the loaded one for the NEEDED entry only when its
  # soname is that name, and would otherwise search LD_LIBRARY_PATH for it.
  soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
  if [ "$soname" != "$name" ]; then
    fail "$name has the soname '${soname}', not its own file name"
  fi
  if grep -q TEXTREL <<<"$dynamic"; then
    fail "$name has text relocations"
  fi
  search=$(sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p' <<<"$dynamic")
  if [ -n "$search" ] && [ "$search" != '$ORIGIN' ]; then
    fail "$name looks for libraries in $search, not only in its own folder"
  fi

  symbols=$(objdump -T "$library" 2>&1) || { fail "$name: objdump -T failed"; continue; }
  versions=$(grep -oE '\b(GLIBC|GLIBCXX|CXXABI|GCC)_[0-9][0-9.]*' <<<"$symbols" | sort -uV)
  newest=""
  for version in $versions; do
    case "$version" in
      GLIBC_*)
        newest=${version#GLIBC_}
        if newer_than "$newest" "$MAX_GLIBC"; then
          fail "$name asks for $version: $(grep -F "($version)" <<<"$symbols" | awk '{print $NF}' | tr '\n' ' ')"
        fi ;;
      GCC_*)
        if newer_than "${version#GCC_}" "$MAX_GCC"; then
          fail "$name asks for the unwinder's $version"
        fi ;;
      *) fail "$name asks for the shared C++ library's $version" ;;
    esac
  done
  exported=$(awk '$2 ~ /g/ && $4 != "*UND*" {print $NF}' <<<"$symbols" | grep -E '^(_ZN?St|_ZNKSt|jpeg_|jinit_)' | head -5)
  if [ -n "$exported" ]; then
    fail "$name exports symbols of a linked-in library: $(echo $exported)"
  fi
  echo "$name: needs $(echo $needed), newest GLIBC_$newest"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures linkage check(s) failed" >&2
  exit 1
fi
echo "the shipped Linux libraries need only the C library, libm, the loader and the unwinder, GLIBC_$MAX_GLIBC at most"
