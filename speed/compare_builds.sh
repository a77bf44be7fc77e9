#!/usr/bin/env bash
# Times every program against its straightforward twin (plain loops over the
# system math library), alternating the two so that drifts in machine load hit
# both alike, and prints the median speed-up per program.
#
# Usage: bench/compare_builds.sh [runs] [program...]
#   runs defaults to 5; the straightforward broad_duogap and conv_duogap take
#   about a minute per run.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] ||
  programs=(monogap duogap ledcurve broad_monogap conv_monogap broad_duogap conv_duogap)

for preset in release straightforward; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" --target "${programs[@]}" > /dev/null
done
fast=build/programs
plain=build/straightforward/programs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds taken by one run of $1, in the scratch folder.
seconds() {
  local start=$EPOCHREALTIME
  (cd "$work" && "$1" > /dev/null)
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f\n", b - a }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $runs alternating runs"
printf '%-14s %12s %12s %9s\n' program optimised straightforward speed-up
for program in "${programs[@]}"; do
  : > "$work/fast" ; : > "$work/plain" ; : > "$work/ratio"
  for _ in $(seq "$runs"); do
    f=$(seconds "$PWD/$fast/$program")
    p=$(seconds "$PWD/$plain/$program")
    echo "$f" >> "$work/fast"
    echo "$p" >> "$work/plain"
    awk -v f="$f" -v p="$p" 'BEGIN { print p / f }' >> "$work/ratio"
  done
  printf '%-14s %11.3fs %13.3fs %8.1fx\n' "$program" \
    "$(median < "$work/fast")" "$(median < "$work/plain")" "$(median < "$work/ratio")"
done
