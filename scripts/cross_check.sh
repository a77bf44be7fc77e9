#!/usr/bin/env bash
# Cross-builds the programs and their straightforward twins for aarch64, where
# the phasor kernel is the system library alone, and runs the quick programs
# of both under qemu-user: every data file and console must agree byte for
# byte. Needs Debian's g++-aarch64-linux-gnu and qemu-user.
# Usage: scripts/cross_check.sh [program...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(monogap duogap ledcurve broad_monogap conv_monogap)

for preset in aarch64 aarch64-straightforward; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" --target "${programs[@]}" > /dev/null
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for program in "${programs[@]}"; do
  for build in aarch64 aarch64-straightforward; do
    mkdir -p "$work/$build"
    (cd "$work/$build" &&
      qemu-aarch64 -L /usr/aarch64-linux-gnu "$root/build/$build/programs/$program" > "$program.out")
  done
  if cmp -s "$work/aarch64/$program.out" "$work/aarch64-straightforward/$program.out" &&
     { [ "$program" = ledcurve ] ||
       cmp -s "$work/aarch64/$program.txt" "$work/aarch64-straightforward/$program.txt"; }; then
    echo "aarch64 $program: identical to its straightforward twin"
  else
    echo "aarch64 $program: DIFFERS from its straightforward twin"
    status=1
  fi
done
exit $status
