#!/usr/bin/env bash
# A bench given as options against the same bench built in as cache
# variables: configures and builds the programs a second time with the
# values as SLITS_* variables, runs those without arguments and the tested
# build's programs (and their straightforward twins) with the options, each
# in a folder of its own, and compares console and data file byte for byte.
# Usage: runtime_bench.sh <cmake> <source> <scratch build> <programs dir> <twins dir> <program>...
set -uo pipefail
cmake=$1 source=$2 build=$3 programs=$4 twins=$5
shift 5
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
status=0

# Builds the programs with the given cache variables, then compares each
# with the tested build's given the options; $1 the options, as words.
compare() {
  local options=$1 defines=()
  shift
  set -- $options
  while [ $# -gt 0 ]; do
    local name=${1#--}
    name=${name//-/_}
    defines+=("-DSLITS_${name^^}=$2")
    shift 2
  done
  "$cmake" -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSLITS_BUILD_TESTS=OFF \
    "${defines[@]}" >"$work/log" 2>&1 &&
    "$cmake" --build "$build" -j2 --target "${names[@]}" >>"$work/log" 2>&1 ||
    { cat "$work/log"; echo "cannot build ${defines[*]}"; exit 1; }
  for program in "${names[@]}"; do
    local given=$options
    # ledcurve takes --led-sigma alone.
    [ "$program" = ledcurve ] && given=$(grep -o -- '--led-sigma [^ ]*' <<<"$options")
    for variant in built runtime twin; do
      mkdir -p "$work/$variant" && rm -f "$work/$variant"/*
      case $variant in
        built) binary=$build/programs/$program args="" ;;
        runtime) binary=$programs/$program args=$given ;;
        twin) binary=$twins/${program}_straightforward args=$given ;;
      esac
      (cd "$work/$variant" && "$binary" $args >console 2>err) ||
        { echo "$variant $program $args failed: $(cat "$work/$variant/err")"; status=1; }
    done
    for variant in runtime twin; do
      cmp -s "$work/built/console" "$work/$variant/console" &&
        { [ ! -e "$work/built/$program.txt" ] ||
          cmp -s "$work/built/$program.txt" "$work/$variant/$program.txt"; } ||
        { echo "$program ($variant) $given differs from ${defines[*]}"; status=1; }
    done
  done
  "$build/programs/monogap" --print-bench >"$work/built.bench"
  "$programs/monogap" $options --print-bench | cmp -s - "$work/built.bench" ||
    { echo "--print-bench $options differs from ${defines[*]}"; status=1; }
}

names=("$@")
# A bench of its own, every program quick on it.
compare "--wavelength 5.32e-4 --led-sigma 3.5 --source-width 2.5 --source-samples 13
         --entrance-samples 21 --pair-samples 9 --screen-count 203"
# A wavelength whose decimal is far from its binary64: read as the compiler
# reads a literal. The counts small again, the same on both sides.
compare "--wavelength 9.82e-6 --led-sigma 12.5 --source-width 5.0 --source-samples 13
         --entrance-samples 21 --pair-samples 9 --screen-count 203"
exit "$status"
