#!/usr/bin/env bash
# Builds the programs twice with the same configure arguments, optimised and
# as their straightforward twins (plain loops over the system math library),
# runs both in scratch folders and requires every console and data file to
# agree byte for byte. For a bench of your own, or a cross build.
#
# Usage: scripts/check_twins.sh [--runner "CMD"] [--programs "P..."] [--args "OPT..."]
#                               NAME [CMAKE_ARG...]
#   NAME          build folders build/NAME and build/NAME-straightforward
#   --runner      runs each program (e.g. "qemu-aarch64 -L /usr/aarch64-linux-gnu")
#   --programs    which programs (default: all seven)
#   --args        options for every pattern program (e.g. "--method propagate")
# Example: scripts/check_twins.sh green -DSLITS_WAVELENGTH=5.32e-4
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runner=""
args=""
programs="monogap duogap ledcurve broad_monogap conv_monogap broad_duogap conv_duogap"
while [ $# -gt 0 ]; do
  case $1 in
    --runner) runner=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --args) args=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { sed -n '2,14p' "$0" >&2; exit 2; }
name=$1
shift
read -r -a program_list <<< "$programs"

for twin in OFF ON; do
  dir=build/$name
  [ $twin = ON ] && dir=build/$name-straightforward
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSLITS_BUILD_TESTS=OFF \
    -DSLITS_STRAIGHTFORWARD=$twin "$@" > /dev/null
  cmake --build "$dir" -j2 --target "${program_list[@]}" > /dev/null
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for program in "${program_list[@]}"; do
  for build in "$name" "$name-straightforward"; do
    mkdir -p "$work/$build"
    options=$args
    [ "$program" = ledcurve ] && options=""
    # shellcheck disable=SC2086 # the runner and the options are words
    (cd "$work/$build" && $runner "$root/build/$build/programs/$program" $options > "$program.out")
  done
  if cmp -s "$work/$name/$program.out" "$work/$name-straightforward/$program.out" &&
     { [ "$program" = ledcurve ] ||
       cmp -s "$work/$name/$program.txt" "$work/$name-straightforward/$program.txt"; }; then
    echo "$name $program${args:+ $args}: identical to its straightforward twin ($(wc -l < "$work/$name/$program.out") lines)"
  else
    echo "$name $program${args:+ $args}: DIFFERS from its straightforward twin"
    status=1
  fi
done
exit $status
