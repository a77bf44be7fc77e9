#!/usr/bin/env bash
# page_test.sh [--drawn] [--workers=N] [--fma=emulated] [--compare=MODEL] CHROMIUM PAGE PROGRAM_DIR PROGRAM [OPTION]...
# The page with PROGRAM and these options, in headless Chromium, shows in
# <pre id="data"> the very text PROGRAM writes to its data file (ledcurve:
# to standard output); where PROGRAM refuses the options, the page shows
# the same message and no data. With --drawn the page shows its plot too,
# and must have drawn it. With --workers=N the page computes on N workers.
# With --fma=emulated the kernel emulates every fused multiply-add.
# PROGRAM pattern takes --setup=FILE (an absolute path), whose text the page
# is given in its address. With --compare=MODEL the page's second curve, in
# that phase model, must hold the text PROGRAM writes with --phase-model=MODEL.
set -euo pipefail
format="&format=text"
[ "$1" = --drawn ] && { format=""; shift; }
[[ "$1" = --workers=* ]] && { format+="&workers=${1#--workers=}"; shift; }
[ "$1" = --fma=emulated ] && { format+="&fma=emulated"; shift; }
compare=() expression=()
if [[ "$1" = --compare=* ]]; then
  format+="&compare=${1#--compare=}"
  compare=("--phase-model=${1#--compare=}")
  expression=('(async () => {
    while (document.body.dataset.compare !== "done") await new Promise((r) => setTimeout(r, 20));
    return page.comparison.text ?? `refused: ${page.comparison.error}`;
  })()')
  shift
fi
chromium=$1 page=$2 programs=$3 program=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

query="program=$program$format"
encode() { node -e 'process.stdout.write(encodeURIComponent(process.argv[1]))' "$1"; }
for option in "$@"; do
  case $option in
    --setup=*) query+="&setup=$(encode "$(cat "${option#--setup=}")")" ;;  # the file's text
    *) query+="&${option#--}" ;;
  esac
done
quiet=(--quiet)
[ "$program" = ledcurve ] && quiet=()  # it has no progress line
status=0
(cd "$scratch" && "$programs/$program" "${quiet[@]}" "$@" "${compare[@]}" > stdout 2> stderr) ||
  status=$?
node "$here/chromium.js" "$chromium" "file://$page?$query" "${expression[@]}" > "$scratch/page"

if [ "$status" -eq 2 ]; then
  expected="refused: $(head -n 1 "$scratch/stderr")"
  [ "$(cat "$scratch/page")" = "$expected" ] && exit 0
  echo "expected '$expected', the page shows:"; head -c 400 "$scratch/page"; exit 1
fi
[ "$status" -eq 0 ] || { echo "$program exited with $status"; exit 1; }
expected="$scratch/$program.txt"
[ "$program" = ledcurve ] && expected="$scratch/stdout"
cmp "$expected" "$scratch/page" && exit 0
diff "$expected" "$scratch/page" | head; exit 1
