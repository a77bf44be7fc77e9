#!/usr/bin/env bash
# Installs the build into a fresh prefix and renders every installed manual
# page: each program has one, man prints no warning for any of them, and
# each names the plotting scripts under that prefix. Exits 77, which CTest
# counts as skipped, without man.
# Usage: man_pages.sh <cmake> <build dir> <program>...
set -uo pipefail
cmake=$1 build=$2
shift 2

command -v man >/dev/null || { echo "man is not installed"; exit 77; }
prefix=$(mktemp -d) || exit 1
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || exit 1

status=0
for program in "$@"; do
  compgen -G "$prefix/share/man/man1/$program.1*" >/dev/null || { echo "no page for $program"; status=1; }
done
for page in "$prefix"/share/man/man1/*; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || warnings+=" (man failed)"
  [ -z "$warnings" ] || { echo "${page##*/}: $warnings"; status=1; }
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -qF "$prefix/share/slits/patterns.gp" ||
    { echo "${page##*/} does not name $prefix/share/slits/patterns.gp"; status=1; }
done
exit "$status"
