#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the instruction-set builds of the fast chain's kernel share no code: the linker keeps
# one copy of a weak function for the whole program, so a copy compiled for AVX-512 could end up
# behind the baseline path and crash older processors. Fails when a weak (or unique) function is
# defined by more than one kernel object, or by any kernel object but the baseline one.
# Usage: scripts/check-kernel-symbols.sh BUILD-DIR
set -euo pipefail
build=${1:?usage: $0 BUILD-DIR}
shopt -s nullglob
objects=("$build"/dsp/CMakeFiles/quarvine_dsp_*.dir/fast_chain_kernel.cpp.o)
if [ ${#objects[@]} -eq 0 ]; then
  echo "check-kernel-symbols: no kernel objects under $build/dsp" >&2
  exit 1
fi

# weak_functions OBJECT: the weak and unique functions the object defines, one name a line.
weak_functions() {
  nm -f sysv --defined-only "$1" |
    awk -F'|' '{ gsub(/ /, "", $3); gsub(/ /, "", $4) }
               ($3 == "W" || $3 == "V" || $3 == "u") && ($4 == "FUNC" || $4 == "IFUNC") { print $1 }'
}

status=0
all=$(mktemp)
trap 'rm -f "$all"' EXIT
for object in "${objects[@]}"; do
  variant=${object%/fast_chain_kernel.cpp.o}
  variant=${variant##*/quarvine_dsp_}
  variant=${variant%.dir}
  names=$(weak_functions "$object")
  [ -n "$names" ] || continue
  printf '%s\n' "$names" >>"$all"
  if [ "$variant" != baseline ]; then
    echo "check-kernel-symbols: the $variant kernel defines weak functions:"
    printf '  %s\n' $names | c++filt
    status=1
  fi
done
shared=$(sort "$all" | uniq -d)
if [ -n "$shared" ]; then
  echo "check-kernel-symbols: weak functions defined by more than one kernel object:"
  printf '  %s\n' $shared | c++filt
  status=1
fi
[ $status -ne 0 ] || echo "check-kernel-symbols: ${#objects[@]} kernel objects in $build share no weak function"
exit $status
