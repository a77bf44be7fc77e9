#!/usr/bin/env bash
# The options a pattern program takes, as the README's Markdown table, from
# the program's own --help (which the registry writes): each option line
# ("  --name=X   meaning", "  -h, --help   meaning") and the meaning's
# continuation lines, indented to column 28.
# Usage: scripts/options_table.sh PROGRAM_DIR
set -euo pipefail
# The first pattern program of the build's list.
program=$(awk '$2 != "profile" { print $1; exit }' "$1/programs.txt")
"$1/$program" --help | awk '
  function flush() { if (option != "") print "| `" option "` | " meaning " |"; option = "" }
  /^  -/ {
    flush()
    line = substr($0, 3)
    if (match(line, /  +/)) { option = substr(line, 1, RSTART - 1); meaning = substr(line, RSTART + RLENGTH) }
    else { option = line; meaning = "" }
    next
  }
  /^                            / && option != "" { sub(/^ +/, ""); meaning = (meaning == "" ? $0 : meaning " " $0); next }
  { flush() }
  END { flush() }' |
  sed 's/|/\\|/g; s/^\\|/|/; s/\\|$/|/; s/ \\| / | /' |
  sed '1i | option | meaning [default] |\n|---|---|'
