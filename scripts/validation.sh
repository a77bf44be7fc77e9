#!/usr/bin/env bash
# Regenerates the validation report: how close the programs' sums come to
# the integrals they sample (the continuum limit), how that distance falls
# with the sample count, broad_monogap's ghost images, duogap's fringes and
# the two phase models.
#
# Usage: scripts/validation.sh [--tiny] [OUTDIR]
#   OUTDIR  where validation.md and its figures, validation/*.png, go [docs]
#   --tiny  small sample counts and a short screen: checks the whole chain in
#           seconds (the test Validation.tiny); its numbers measure nothing
#
# Three parts, and this script only joins them: the analysis program
# `validate` (continuum/validate.cpp) computes the patterns in process, their
# continuum limits and every number of the report, as "key value" lines, and
# the plotted series as data files; plots/validation.gp draws the figures;
# scripts/fill_template.cmake fills docs/validation.md.in with the numbers.
#
# Needs CMake, a C++ compiler, libcerf (Debian: libcerf-dev) and gnuplot
# (gnuplot-nox). `validate` is built in $SLITS_VALIDATION_BUILD
# [build/validation], or taken from $SLITS_VALIDATE; the data files go to
# $SLITS_VALIDATION_DATA [the build folder's data/]. Patterns run on
# $SLITS_THREADS threads [2].
set -euo pipefail
usage="usage: validation.sh [--tiny] [OUTDIR]"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(dirname "$here")

tiny=()
out=$source_dir/docs
for argument in "$@"; do
  case $argument in
    --tiny) tiny=(--tiny) ;;
    -*) echo "$usage" >&2; exit 2 ;;
    *) out=$argument ;;
  esac
done
command -v gnuplot > /dev/null || { echo "validation.sh: needs gnuplot (Debian: gnuplot-nox)" >&2; exit 77; }

build=${SLITS_VALIDATION_BUILD:-$source_dir/build/validation}
validate=${SLITS_VALIDATE:-}
if [ -z "$validate" ]; then
  echo "validation: building validate in $build"
  cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSLITS_BUILD_TESTS=OFF \
    -DSLITS_BUILD_PYTHON=OFF > /dev/null
  cmake --build "$build" -j2 --target validate > /dev/null ||
    { echo "validation.sh: cannot build validate (it needs libcerf; Debian: libcerf-dev)" >&2; exit 1; }
  validate=$build/continuum/validate
fi
data=${SLITS_VALIDATION_DATA:-$build/data}
mkdir -p "$data" "$out/validation"

echo "validation: computing the numbers and series in $data"
"$validate" "${tiny[@]}" --threads "${SLITS_THREADS:-2}" "$data" > "$data/values.txt"
echo "commit $(git -C "$source_dir" rev-parse --short HEAD 2> /dev/null || echo unknown)" >> "$data/values.txt"

echo "validation: drawing the figures in $out/validation"
# Every value but the tables, as a gnuplot string variable.
grep -v '^table_' "$data/values.txt" | sed -E 's/^([a-z0-9_]+) (.*)$/\1 = "\2"/' > "$data/values.gp"
gnuplot -e "data = '$data'; figures = '$out/validation'" "$source_dir/plots/validation.gp"

echo "validation: writing $out/validation.md"
cmake -DVALUES="$data/values.txt" -DTEMPLATE="$source_dir/docs/validation.md.in" \
  -DOUTPUT="$out/validation.md" -P "$source_dir/scripts/fill_template.cmake"
