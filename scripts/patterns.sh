#!/usr/bin/env bash
# The main job: runs every program in one output folder on one bench, and
# leaves beside the data the bench it ran (bench.txt, as --print-bench writes
# it, so `--bench bench.txt` runs it again). Pattern programs leave their data
# file there, their console lines in <program>.log; the LED profile's table
# goes to its <program>.txt. Where `continuum` lies beside the programs, each pattern's
# continuum limit goes to <program>.continuum.txt. Where gnuplot is
# installed, plots/patterns.gp then renders the figures beside the data.
#
# The options are read here by the programs' conventions (unique prefixes,
# --name=value or --name value), and only those the job can pass on are
# taken; the first pattern program's --print-bench then checks their values. Bad input exits
# with status 2 before anything is written. A program that fails is reported
# and the others still run; the job then ends with status 1.
set -euo pipefail

help() {
  cat << 'EOF'
Usage: patterns.sh OUTDIR [OPTION]...
Runs every program on one bench into the folder OUTDIR (made if missing): the
data files, bench.txt (the bench, for --bench), each pattern's continuum limit
where `continuum` is built, and the plots where gnuplot is installed.

Options, the programs' own:
  --NAME VALUE    any bench option (--wavelength 5.32e-4, --method propagate,
                  ...: a program's --help lists them with their defaults)
  --bench FILE    the bench from a file; the other options override it
  --threads N     worker threads of each pattern program (0: one per core)
  --precision N   significant digits of every printed number
  -h, --help      this help
Unique prefixes of the options work; scripts should spell them in full. Each
program names its own data file and logs its console lines in <program>.log,
so --output and --quiet are not taken.

The programs come from $SLITS_PROGRAM_DIR, else build/programs beside this
script's folder, else PATH: the first of these folders that holds their list,
programs.txt, or has it in ../share/slits, as their package installs it.
Bad input exits with status 2 and writes nothing; a program that fails, 1.
EOF
}

# An argument as a message shows it: quoted, control characters escaped.
shown() {
  if [[ $1 == *[[:cntrl:]]* ]]; then printf '%q' "$1"; else printf "'%s'" "$1"; fi
}
refuse() {
  printf "patterns.sh: error: %s\nTry 'patterns.sh --help'.\n" "$1" >&2
  exit 2
}

# Help needs no program.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  help
  exit 0
fi

here=${BASH_SOURCE[0]%/*}
[[ $here == "${BASH_SOURCE[0]}" ]] && here=.
[[ $here == /* ]] || here=$PWD/$here
# The programs, one "NAME QUANTITY" line each: the list the build writes
# beside them, or the one their package installs among the plotting scripts.
IFS=: read -r -a path_dirs <<< "$PATH"
list=""
for dir in "${SLITS_PROGRAM_DIR:-$here/../build/programs}" "${path_dirs[@]}"; do
  for candidate in "$dir/programs.txt" "$dir/../share/slits/programs.txt"; do
    if [ -n "$dir" ] && [ -f "$candidate" ]; then
      bindir=$dir
      list=$candidate
      break 2
    fi
  done
done
[ -n "$list" ] || refuse "no programs.txt, the list of the programs, beside them or in share/slits"
[[ $bindir == /* ]] || bindir=$PWD/$bindir
plots=$here/../plots
# The program asked for the bench: the first that computes a pattern.
asked=$(awk '$2 != "profile" { print $1; exit }' "$list")

# Every long option of a pattern program, to resolve prefixes as it would:
# the bench's parameters as --print-bench names them, and the others.
parameters=$("$bindir/$asked" --print-bench) || refuse "cannot run $bindir/$asked"
bench_options=(bench)
while read -r name _; do
  [[ -z $name || $name == \#* ]] || bench_options+=("${name//_/-}")
done <<< "$parameters"
untaken=(output quiet print-bench version)

# The option --$1 names: itself, or the one option it begins. $2: the
# argument as given.
resolve() {
  local known candidates=()
  for known in "${bench_options[@]}" threads precision help "${untaken[@]}"; do
    if [ "$known" = "$1" ]; then
      echo "$known"
      return
    fi
    [[ -n $1 && $known == "$1"* ]] && candidates+=("$known")
  done
  case ${#candidates[@]} in
    0) refuse "unknown option $(shown "$2")" ;;
    1) echo "${candidates[0]}" ;;
    *) refuse "option $(shown "--$1") is ambiguous; possibilities:$(printf " '--%s'" "${candidates[@]}")" ;;
  esac
}

# The folder first; a long option there is a mistake, or a request for
# help. A folder may start with one dash.
case ${1-} in
  --?*)
    name=${1#--}
    option=$(resolve "${name%%=*}" "$1") || exit 2
    [ "$option" = help ] || refuse "$(shown "$1") is an option: the output folder comes first"
    help
    exit 0
    ;;
  '' | --) refuse "no output folder given (usage: patterns.sh OUTDIR [OPTION]...)" ;;
esac
out=$1
shift

# The options spelled in full, --name=value: all of them for the check, and
# apart those that are not the bench.
taken=() threads=() precision=()
while (($#)); do
  argument=$1
  shift
  [ "$argument" = -h ] && { help; exit 0; }
  [[ $argument == --?* ]] || refuse "unexpected argument $(shown "$argument")"
  name=${argument#--}
  option=$(resolve "${name%%=*}" "$argument") || exit 2
  case $option in
    help) help; exit 0 ;;
    output) refuse "--output is not taken: each program names its own data file" ;;
    quiet) refuse "--quiet is not taken: each program's console lines go to its .log" ;;
    print-bench) refuse "--print-bench is not taken: the job writes its bench into bench.txt" ;;
    version) refuse "--version is not taken: ask a program, as in '$asked --version'" ;;
  esac
  if [[ $name == *=* ]]; then
    value=${name#*=}
  elif (($#)); then
    value=$1
    shift
  else
    refuse "--$option: no value given"
  fi
  taken+=("--$option=$value")
  case $option in
    threads) threads=("--$option=$value") ;;
    precision) precision=("--$option=$value") ;;
  esac
done

# The values, checked by a program before anything is written; its
# refusal in the job's own words.
if ! errors=$("$bindir/$asked" --print-bench "${taken[@]}" 2>&1 > /dev/null); then
  sed -e "s/^$asked: /patterns.sh: /" -e "s/^Try '$asked --help'/Try 'patterns.sh --help'/" \
    <<< "$errors" >&2
  exit 2
fi
bench=$("$bindir/$asked" --print-bench "${taken[@]}")

target=$out
[[ $target == /* ]] || target=./$target
mkdir -p -- "$target"
cd -- "$target"
printf '%s\n' "$bench" > bench.txt

status=0
# "# program NAME COST exponentials POINTS points to MAX QUANTITY PLANES
# TITLE", in the registry's order. The profile takes only the LED's width and
# prints its table on standard output.
while read -r _ _ program cost _ points _ _ _ quantity _; do
  if [ "$quantity" = profile ]; then
    printf '%-14s %-27s ... ' "$program" "(the LED's profile)"
    command=("$bindir/$program" --led-sigma "$(awk '$1 == "led_sigma" { print $2 }' bench.txt)"
             "${precision[@]}")
    output=$program.txt
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
  if [ "$quantity" != profile ] && [ -f "$program.txt" ]; then
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
