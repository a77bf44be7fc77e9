#!/bin/bash
# The explorer's recompute time with --method propagate, per pattern program:
# seven calls of the page's own slits_run in a row, in milliseconds, least to
# most, in headless Chromium.
#   speed/page_speed.sh [PAGE [CHROMIUM]]   (PAGE defaults to build/web/index.html)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page=$(realpath "${1:-$here/build/web/index.html}")
grep -m3 -E '^(model name|cpu family|model)\s' /proc/cpuinfo
node "$here/web/chromium.js" "${2:-chromium}" "file://$page?method=propagate" '(() => {
  const times = {};
  for (const p of page.registry.programs.filter((p) => p.pattern)) {
    const t = [];
    for (let i = 0; i < 7; i++) {
      const t0 = performance.now();
      call("slits_run", argv(p.name, ["--method=propagate"]));
      t.push(performance.now() - t0);
    }
    times[p.name] = t.sort((a, b) => a - b).map((ms) => ms.toFixed(0)).join(" ");
  }
  return JSON.stringify(times, null, 1);
})()'
