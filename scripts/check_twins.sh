#!/usr/bin/env bash
# Builds the programs twice with the same configure arguments, optimised and
# as their straightforward twins (plain loops over the system math library),
# runs both in scratch folders and requires every console and data file to
# agree byte for byte. For a bench of your own, or a cross build.
#
# Usage: scripts/check_twins.sh [--runner "CMD"] [--programs "P..." | --quick]
#                               [--args "OPT..."] NAME [CMAKE_ARG...]
#   NAME          build folders build/NAME and build/NAME-straightforward
#   --runner      runs each program (e.g. "qemu-aarch64 -L /usr/aarch64-linux-gnu")
#   --programs    which programs (default: every one the build lists)
#   --quick       the programs under 1e8 exponentials on this bench, as the
#                 build's --print-bench costs them
#   --args        options for every pattern program (e.g. "--method propagate")
# Example: scripts/check_twins.sh green -DSLITS_WAVELENGTH=5.32e-4
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runner=""
args=""
programs=""
quick=false
while [ $# -gt 0 ]; do
  case $1 in
    --runner) runner=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --quick) quick=true; shift ;;
    --args) args=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { sed -n '2,17p' "$0" >&2; exit 2; }
name=$1
shift

for twin in OFF ON; do
  dir=build/$name
  [ $twin = ON ] && dir=build/$name-straightforward
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSLITS_BUILD_TESTS=OFF \
    -DSLITS_STRAIGHTFORWARD=$twin "$@" > /dev/null
done
# The build's list, one "NAME QUANTITY" line per program in the registry's
# order; the LED's profile takes none of the pattern options.
list=build/$name/programs/programs.txt
[ -n "$programs" ] || programs=$(awk '{ print $1 }' "$list")
read -r -d '' -a program_list <<< "$programs" || true  # words over any lines
if $quick; then
  # "# program NAME COST exponentials ...", costed by the first pattern
  # program on this bench.
  first=$(awk '$2 != "profile" { print $1; exit }' "$list")
  cmake --build "build/$name" -j2 --target "$first" > /dev/null
  # shellcheck disable=SC2086 # the runner and the options are words
  costs=$($runner "build/$name/programs/$first" --print-bench $args | grep '^# program ')
  read -r -d '' -a program_list < <(awk -v wanted=" ${program_list[*]} " \
    'index(wanted, " " $3 " ") && $4 < 1e8 { print $3 }' <<< "$costs") || true
fi
for dir in "build/$name" "build/$name-straightforward"; do
  cmake --build "$dir" -j2 --target "${program_list[@]}" > /dev/null
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for program in "${program_list[@]}"; do
  for build in "$name" "$name-straightforward"; do
    mkdir -p "$work/$build"
    options=$args
    kind=$(awk -v p="$program" '$1 == p { print $2 }' "$list")
    profile=$([ "$kind" = profile ] && echo 1 || echo 0)
    [ "$profile" = 1 ] && options=""
    # A setup program takes, of the bench, only what a setup file does not
    # hold for itself: the phase model, the sampling rule, the method and the
    # wavelength (each option followed by its value).
    if [ "$kind" = setup ]; then
      options=""
      read -r -a words <<< "$args"
      for ((k = 0; k < ${#words[@]}; k++)); do
        case ${words[k]} in
          --wavelength | --phase-model | --sampling | --method)
            options+=" ${words[k]} ${words[k + 1]:-}"
            k=$((k + 1)) ;;
        esac
      done
    fi
    # shellcheck disable=SC2086 # the runner and the options are words
    (cd "$work/$build" && $runner "$root/build/$build/programs/$program" $options > "$program.out")
  done
  if cmp -s "$work/$name/$program.out" "$work/$name-straightforward/$program.out" &&
     { [ "$profile" = 1 ] ||
       cmp -s "$work/$name/$program.txt" "$work/$name-straightforward/$program.txt"; }; then
    echo "$name $program${args:+ $args}: identical to its straightforward twin ($(wc -l < "$work/$name/$program.out") lines)"
  else
    echo "$name $program${args:+ $args}: DIFFERS from its straightforward twin"
    status=1
  fi
done
exit $status
