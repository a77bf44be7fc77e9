#!/usr/bin/env bash
# Runs a program under valgrind's memcheck in a fresh directory: an invalid
# access, a use of uninitialised memory or a leak fails; so does any failure
# of the program itself. Exits 77, which CTest counts as skipped, without
# valgrind.
set -uo pipefail
program=$1

command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 77; }
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

valgrind --quiet --error-exitcode=99 --leak-check=full "$program" >/dev/null 2>stderr.txt
status=$?
cat stderr.txt
if [ "$status" -eq 99 ]; then echo "memcheck found errors in $program"; exit 1; fi
if [ "$status" -ne 0 ] || [ -s stderr.txt ]; then echo "$program failed under valgrind (status $status)"; exit 1; fi
