#!/usr/bin/env bash
# Runs each program in one output folder, beside a copy of the bench file the
# programs were built with. Pattern programs leave their data file there;
# their console lines go to <program>.log. ledcurve writes its table on
# standard output, kept as ledcurve.txt. Where an executable `continuum` lies
# beside the programs, each pattern's continuum limit goes to
# <program>.continuum.txt. Where gnuplot is installed, plots/patterns.gp then
# renders the figures beside the data.
# Usage: patterns.sh <output dir> <program dir> <bench file> <program>...
# A program that fails is reported and the others still run; the job then
# ends with status 1.
set -euo pipefail
usage="usage: patterns.sh <output dir> <program dir> <bench file> <program>..."
if [ $# -lt 3 ]; then echo "$usage" >&2; exit 2; fi
out=$1 bindir=$2 bench=$3
shift 3
if [ ! -f "$bench" ] || [ ! -r "$bench" ]; then
  printf 'patterns.sh: cannot read the bench file %s\n%s\n' "$bench" "$usage" >&2
  exit 2
fi
# Folders may have any name: relative ones are anchored so that none starts
# with a dash, and survive the change into the output folder.
[[ $bindir == /* ]] || bindir=$PWD/$bindir
[[ $bench == /* ]] || bench=$PWD/$bench
plots=${BASH_SOURCE[0]%/*}
[[ $plots == "${BASH_SOURCE[0]}" ]] && plots=.
[[ $plots == /* ]] || plots=$PWD/$plots
plots=$plots/../plots
target=$out
[[ $target == /* ]] || target=./$target

mkdir -p -- "$target"
cd -- "$target"
[ "$bench" -ef bench.txt ] || cp -- "$bench" bench.txt

# A program's cost on this bench and the points it writes, tab-separated;
# no points for ledcurve, nothing at all for a program unknown here.
counts() {
  awk -v program="$1" '
    !/^[ \t]*#/ && NF >= 2 { v[$1] = $2 }
    END {
      c = v["screen_count"]; ns = v["source_samples"]
      ne = v["entrance_samples"]; np = v["pair_samples"]
      if (program == "ledcurve") { print "none (1000 LED evaluations)\t"; exit }
      if (program == "monogap") { n = 10 * c * ne; c = 10 * c }
      else if (program == "duogap") n = 2 * c * ne * np
      else if (program ~ /^(broad|conv)_monogap$/) n = c * ne * ns
      else if (program ~ /^(broad|conv)_duogap$/) n = 2 * c * ns * ne * np
      else exit
      printf "%.2e exponentials\t%d\n", n, c
    }' bench.txt
}

status=0
for program in "$@"; do
  IFS=$'\t' read -r cost points <<< "$(counts "$program")" || true
  printf '%-14s %-27s ... ' "$program" "$cost"
  output=$program.log
  [ "$program" = ledcurve ] && output=ledcurve.txt
  rm -f -- "$program.continuum.txt"  # never one from an earlier bench
  start=$EPOCHREALTIME
  # Standard error is held back until the timing completes its line.
  ran=0
  errors=$("$bindir/$program" 2>&1 > "$output") || ran=$?
  awk -v t0="$start" -v t1="$EPOCHREALTIME" 'BEGIN { printf "%7.2f s\n", t1 - t0 }'
  [ -n "$errors" ] && printf '%s\n' "$errors"
  if [ "$ran" -ne 0 ]; then
    status=1
    echo "$program failed (status $ran)"
  fi
  if [ -n "$points" ] && [ -f "$program.txt" ]; then
    lines=$(wc -l < "$program.txt")
    if [ "$lines" -lt "$points" ]; then
      echo "$program.txt incomplete: $lines of $points points"
    fi
    if [ -f "$bindir/continuum" ] && [ -x "$bindir/continuum" ]; then
      "$bindir/continuum" "$program" > "$program.continuum.txt" || {
        rm -f -- "$program.continuum.txt"
        echo "continuum $program failed, so no continuum limit on its plot"
      }
    fi
  fi
done
# Without gnuplot the data files are the whole result, not a failure.
if command -v gnuplot > /dev/null; then
  gnuplot -c "$plots/patterns.gp" .
  echo "Data files and plots in $out"
else
  echo "gnuplot not found, so no plots (Debian package: gnuplot-nox)"
  echo "Data files in $out"
fi
exit "$status"
