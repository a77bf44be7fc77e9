#!/usr/bin/env bash
# Runs each program in one output folder. Pattern programs leave their data
# file there; their console lines go to <program>.log. ledcurve writes its
# table on standard output, kept as ledcurve.txt. Where gnuplot is installed,
# plots/patterns.gp then renders the PNG files beside the data.
# Usage: patterns.sh <output dir> <program dir> <program>...
set -euo pipefail
out=$1 bindir=$2
shift 2
plots=$(cd "$(dirname "$0")/../plots" && pwd)
mkdir -p "$out"
cd "$out"
for program in "$@"; do
  start=$EPOCHREALTIME
  if [ "$program" = ledcurve ]; then
    "$bindir/$program" > ledcurve.txt
  else
    "$bindir/$program" > "$program.log"
  fi
  awk -v p="$program" -v t0="$start" -v t1="$EPOCHREALTIME" 'BEGIN { printf "%-14s %7.2f s\n", p, t1 - t0 }'
done
# Without gnuplot the data files are the whole result, not a failure.
if command -v gnuplot > /dev/null; then
  gnuplot -c "$plots/patterns.gp" .
  echo "Data files and plots in $out"
else
  echo "gnuplot not found, so no plots (Debian package: gnuplot-nox)"
  echo "Data files in $out"
fi
