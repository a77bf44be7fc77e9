#!/usr/bin/env bash
# The options a pattern program takes, as the README's Markdown table, from
# the program's own --help (which the registry writes).
# Usage: scripts/options_table.sh PROGRAM_DIR
set -euo pipefail
"$1/duogap" --help | awk '
  /^  --/ {
    if (option != "") print "| `" option "` | " meaning " |"
    option = $1; sub(/^  /, ""); line = $0; sub(/^--[^ ]*/, "", line)
    sub(/^ +/, "", line); meaning = line; next
  }
  /^                            / && option != "" { sub(/^ +/, ""); meaning = (meaning == "" ? $0 : meaning " " $0); next }
  END { if (option != "") print "| `" option "` | " meaning " |" }' |
  sed 's/|/\\|/g; s/^\\|/|/; s/\\|$/|/; s/ \\| / | /' |
  sed '1i | option | meaning [default] |\n|---|---|'
