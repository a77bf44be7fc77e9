#!/bin/bash
# The explorer's recompute time with --method propagate, per pattern program:
# seven in a row, in milliseconds, least to most, in headless Chromium; on
# the page's thread (its own slits_run) and on its workers (one per core, or
# WORKERS of them), from the request to the data file's text.
#   [WORKERS=N] speed/page_speed.sh [PAGE [CHROMIUM]]   (PAGE defaults to build/web/index.html)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page=$(realpath "${1:-$here/build/web/index.html}")
grep -m3 -E '^(model name|cpu family|model)\s' /proc/cpuinfo
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
node "$here/web/chromium.js" "${2:-chromium}" "file://$page?method=propagate${WORKERS:+&workers=$WORKERS}" '(async () => {
  const times = {};
  const row = (t) => t.sort((a, b) => a - b).map((ms) => ms.toFixed(0)).join(" ");
  await timedOnWorkers(argv("duogap", ["--method=propagate"]));  // the workers started
  for (const p of page.registry.programs.filter((p) => p.pattern)) {
    const args = argv(p.name, ["--method=propagate"]);
    const thread = [], workers = [];
    for (let i = 0; i < 7; i++) {
      const t0 = performance.now();
      call("slits_run", args);
      thread.push(performance.now() - t0);
      workers.push((await timedOnWorkers(args)).ms);
    }
    times[p.name] = `thread ${row(thread)} | ${workerCount()} workers ${row(workers)}`;
  }
  return JSON.stringify(times, null, 1);
})()'
