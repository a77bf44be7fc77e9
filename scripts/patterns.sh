#!/usr/bin/env bash
# The main job: runs every program in one output folder on one bench, and
# leaves beside the data the bench it ran (bench.txt, as --print-bench writes
# it, so `--bench bench.txt` runs it again). Pattern programs leave their data
# file there, their console lines in <program>.log; ledcurve's table goes to
# ledcurve.txt. Where `continuum` lies beside the programs, each pattern's
# continuum limit goes to <program>.continuum.txt. Where gnuplot is
# installed, plots/patterns.gp then renders the figures beside the data.
#
# Usage: patterns.sh OUTDIR [OPTION]...
#   OPTIONs are the programs' own: bench options, --bench FILE, --threads N,
#   --precision N (not --output: each program names its own file). The programs are taken from $SLITS_PROGRAM_DIR, else from
#   build/programs beside this script's folder, else from PATH.
# Bad options exit with status 2 before any program runs. A program that
# fails is reported and the others still run; the job then ends with status 1.
set -euo pipefail
usage="usage: patterns.sh OUTDIR [OPTION]..."
if [ $# -lt 1 ]; then echo "$usage" >&2; exit 2; fi
out=$1
shift

here=${BASH_SOURCE[0]%/*}
[[ $here == "${BASH_SOURCE[0]}" ]] && here=.
[[ $here == /* ]] || here=$PWD/$here
bindir=${SLITS_PROGRAM_DIR:-$here/../build/programs}
[ -x "$bindir/monogap" ] || bindir=$(dirname "$(command -v monogap || echo ./monogap)")
[[ $bindir == /* ]] || bindir=$PWD/$bindir
plots=$here/../plots

# The bench, validated by a program before anything else is written.
bench=$("$bindir/monogap" --print-bench "$@") || exit 2
# What is not the bench: threads for the pattern programs, and the precision,
# which ledcurve takes too.
threads=() precision=()
for ((i = 1; i <= $#; ++i)); do
  j=$((i + 1))
  case ${!i} in
    --threads=*) threads=("${!i}") ;;
    --threads) threads=(--threads "${!j}") ;;
    --precision=*) precision=("${!i}") ;;
    --precision) precision=(--precision "${!j}") ;;
  esac
done

target=$out
[[ $target == /* ]] || target=./$target
mkdir -p -- "$target"
cd -- "$target"
printf '%s\n' "$bench" > bench.txt

status=0
# "# program NAME COST exponentials POINTS points to MAX", in the registry's order.
while read -r _ _ program cost _ points _; do
  if [ "$program" = ledcurve ]; then
    printf '%-14s %-27s ... ' "$program" "(the LED's profile)"
    command=("$bindir/ledcurve" --led-sigma "$(awk '$1 == "led_sigma" { print $2 }' bench.txt)"
             "${precision[@]}")
    output=ledcurve.txt
  else
    printf '%-14s %-27s ... ' "$program" "$cost exponentials"
    command=("$bindir/$program" --bench bench.txt "${threads[@]}" "${precision[@]}")
    output=$program.log
  fi
  rm -f -- "$program.continuum.txt"  # never one from an earlier bench
  start=$EPOCHREALTIME
  # Standard error is held back until the timing completes its line.
  ran=0
  errors=$("${command[@]}" 2>&1 > "$output") || ran=$?
  awk -v t0="$start" -v t1="$EPOCHREALTIME" 'BEGIN { printf "%7.2f s\n", t1 - t0 }'
  [ -n "$errors" ] && printf '%s\n' "$errors"
  if [ "$ran" -ne 0 ]; then
    status=1
    echo "$program failed (status $ran)"
  fi
  if [ "$program" != ledcurve ] && [ -f "$program.txt" ]; then
    lines=$(wc -l < "$program.txt")
    if [ "$lines" -lt "$points" ]; then
      echo "$program.txt incomplete: $lines of $points points"
    fi
    if [ -x "$bindir/continuum" ]; then
      "$bindir/continuum" --bench bench.txt "$program" > "$program.continuum.txt" || {
        rm -f -- "$program.continuum.txt"
        echo "continuum $program failed, so no continuum limit on its plot"
      }
    fi
  fi
done < <(grep '^# program ' bench.txt)
# Without gnuplot the data files are the whole result, not a failure.
if command -v gnuplot > /dev/null; then
  gnuplot -c "$plots/patterns.gp" .
  echo "Data files and plots in $out"
else
  echo "gnuplot not found, so no plots (Debian package: gnuplot-nox)"
  echo "Data files in $out"
fi
exit "$status"
