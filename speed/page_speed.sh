#!/bin/bash
# The explorer's recompute time with --method propagate, per pattern program:
# seven in a row, in milliseconds, least to most, in headless Chromium. On
# the page's thread: its own slits_run, the data file's text included. On
# its workers (one per core, or WORKERS of them): from the request to the
# values gathered in order, the text left until it is shown. Drawn: from a
# changed control to the plot on the page, as a user meets it.
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
    const thread = [], workers = [], drawn = [];
    page.program = p.name;
    for (let i = 0; i < 7; i++) {
      const t0 = performance.now();
      call("slits_run", args);
      thread.push(performance.now() - t0);
      workers.push((await timedOnWorkers(args)).ms);
      const t1 = performance.now();
      update();
      while (!["drawn", "done"].includes(document.body.dataset.state))
        await new Promise((resolve) => setTimeout(resolve, 1));
      drawn.push(performance.now() - t1);
      while (document.body.dataset.state !== "done")  // the text, before the next
        await new Promise((resolve) => setTimeout(resolve, 1));
    }
    times[p.name] = `thread ${row(thread)} | ${workerCount()} workers ${row(workers)} | ` +
                    `drawn ${row(drawn)}`;
  }
  return JSON.stringify(times, null, 1);
})()'
