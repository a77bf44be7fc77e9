#!/usr/bin/env bash
# Times every program against its straightforward twin (plain loops over the
# system math library), alternating the two so that drifts in machine load hit
# both alike, and prints the median speed-up per program. With --threads it
# times the optimised programs on one thread against --threads 2 instead, by
# default the heavy ones (1e8 exponentials or more).
#
# Usage: speed/compare_builds.sh [--threads] [runs] [program...]
#   runs defaults to 5; the straightforward twins of the heavy programs take
#   about a minute per run.
set -euo pipefail
cd "$(dirname "$0")/.."
threads=false
if [ "${1:-}" = --threads ]; then
  threads=true
  shift
fi
runs=${1:-5}
shift || true
programs=("$@")
second=()  # the second build's arguments
if $threads; then
  presets=(release release)
  second=(--threads 2)
  names=("1 thread" "2 threads")
else
  presets=(release straightforward)
  names=(optimised straightforward)
fi

for preset in $(printf '%s\n' "${presets[@]}" | sort -u); do
  cmake --preset "$preset" > /dev/null
done
# Every program the build lists, in the registry's order; with --threads the
# heavy ones, 1e8 exponentials or more on the default bench as the first
# pattern program's --print-bench costs them.
list=build/programs/programs.txt
if [ ${#programs[@]} -eq 0 ]; then
  if $threads; then
    first=$(awk '$2 != "profile" { print $1; exit }' "$list")
    cmake --build --preset release --target "$first" > /dev/null
    read -r -d '' -a programs < <(build/programs/"$first" --print-bench |
                                   awk '/^# program / && $4 >= 1e8 { print $3 }') || true
  else
    read -r -d '' -a programs < <(awk '{ print $1 }' "$list") || true
  fi
fi
for preset in $(printf '%s\n' "${presets[@]}" | sort -u); do
  cmake --build --preset "$preset" --target "${programs[@]}" > /dev/null
done
fast=build/programs
other=build/${presets[1]}/programs
[ "${presets[1]}" = release ] && other=$fast

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds taken by one run of $1 (with the arguments after it), in the
# scratch folder.
seconds() {
  local start=$EPOCHREALTIME
  (cd "$work" && "$@" > /dev/null)
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f\n", b - a }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $runs alternating runs"
printf '%-14s %12s %15s %9s\n' program "${names[0]}" "${names[1]}" speed-up
for program in "${programs[@]}"; do
  : > "$work/fast" ; : > "$work/other" ; : > "$work/ratio"
  for _ in $(seq "$runs"); do
    f=$(seconds "$PWD/$fast/$program")
    o=$(seconds "$PWD/$other/$program" "${second[@]}")
    echo "$f" >> "$work/fast"
    echo "$o" >> "$work/other"
    if $threads; then
      awk -v f="$f" -v o="$o" 'BEGIN { print f / o }' >> "$work/ratio"
    else
      awk -v f="$f" -v o="$o" 'BEGIN { print o / f }' >> "$work/ratio"
    fi
  done
  printf '%-14s %11.3fs %14.3fs %8.2fx\n' "$program" \
    "$(median < "$work/fast")" "$(median < "$work/other")" "$(median < "$work/ratio")"
done
