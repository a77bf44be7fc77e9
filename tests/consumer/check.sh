#!/usr/bin/env bash
# The installed package as a consumer sees it: tests/consumer built against
# PREFIX through find_package (shared and static kernel) and through
# pkg-config, each run and checked bit for bit; the exported interface free
# of the project's own flags; the Python module, where installed, imported
# from PREFIX by $PYTHON (default /usr/bin/python3).
#   check.sh PREFIX                 an installed prefix
#   check.sh --install BUILD_DIR    install BUILD_DIR into a scratch prefix first
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ "${1-}" = --install ]; then
  prefix=$scratch/prefix
  "${CMAKE:-cmake}" --install "$2" --prefix "$prefix" > /dev/null
else
  prefix=$(cd "$1" && pwd)
fi
fail() { echo "consumer check: $*" >&2; exit 1; }

# Where GNUInstallDirs and Debian put them: lib, lib/<multiarch> or share.
find_installed() {
  find "$prefix/lib" "$prefix/share" -maxdepth 4 -path "$1" 2>/dev/null | head -1
}
config=$(find_installed '*/cmake/slits/slitsConfig.cmake')
[ -n "$config" ] || fail "no slitsConfig.cmake under $prefix"
if grep -nE -- '-W[a-z]|-Werror|-fsanitize|-ffp-contract|-fno-builtin' "$(dirname "$config")"/*.cmake; then
  fail "the exported targets carry the project's own flags"
fi

for target in slits::cis slits::cis_static; do
  build=$scratch/${target#slits::}
  "${CMAKE:-cmake}" -S "$here" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" -DSLITS_TARGET="$target" > /dev/null
  "${CMAKE:-cmake}" --build "$build" > /dev/null
  "$build/consumer" || fail "$target: phasors differ"
done

pc=$(find_installed '*/pkgconfig/slits-cis.pc')
[ -n "$pc" ] || fail "no slits-cis.pc under $prefix"
export PKG_CONFIG_PATH=$(dirname "$pc")
# shellcheck disable=SC2046
c++ -std=c++20 "$here/main.cpp" -o "$scratch/consumer_pc" $(pkg-config --cflags --libs slits-cis)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir slits-cis) "$scratch/consumer_pc" ||
  fail "pkg-config: phasors differ"

site=$prefix/lib/python3/dist-packages
if [ -d "$site/slits" ]; then
  PYTHONPATH=$site "${PYTHON:-/usr/bin/python3}" -c '
import numpy as np, slits
t = np.linspace(-2400, 2400, 100001)
assert slits.__file__.startswith("'"$site"'"), slits.__file__
assert (slits.cis(t).view(np.uint64) == np.exp(1j * t).view(np.uint64)).all()
print("slits.cis from", slits.__file__, "matches numpy.exp")' || fail "the Python module"
fi
