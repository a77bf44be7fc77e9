#!/bin/bash
# The explorer's recompute time with --method propagate, per pattern program:
# seven in a row, in milliseconds, least to most, in headless Chromium.
#   thread:  the page's own slits_run on its thread, the data file's text
#            included (as before the workers);
#   workers: on the page's workers (one per core, or WORKERS of them), from
#            the request to the values gathered in order, the text left
#            until it is shown; the screen distance written anew each run
#            (500, 500.0: the same value), so each makes its tables as a
#            dragged control does;
#   kept:    the same with the bench unchanged (a new precision), the tables
#            kept;
#   drawn:   from a changed control to the plot on the page, as a user
#            meets it.
# With FMA=emulated the kernel emulates every fused multiply-add (the page's
# fma=emulated), as where relaxed SIMD's is not fused.
#   [WORKERS=N] [FMA=emulated] speed/page_speed.sh [PAGE [CHROMIUM]]   (PAGE defaults to build/web/index.html)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page=$(realpath "${1:-$here/build/web/index.html}")
grep -m3 -E '^(model name|cpu family|model)\s' /proc/cpuinfo
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
node "$here/web/chromium.js" "${2:-chromium}" "file://$page?method=propagate${WORKERS:+&workers=$WORKERS}${FMA:+&fma=$FMA}" '(async () => {
  const times = {};
  const row = (t) => t.sort((a, b) => a - b).map((ms) => ms.toFixed(0)).join(" ");
  await timedOnWorkers(argv("duogap", ["--method=propagate"]));  // the workers started
  times.kernel = page.registry.kernel;
  const distance = page.registry.parameters.find((p) => p.name === "screen_distance").default;
  const anew = (i) => `--screen-distance=${i % 2 ? distance : distance + (distance.includes(".") ? "0" : ".0")}`;
  const until = async (states) => {
    while (!states.includes(document.body.dataset.state))
      await new Promise((resolve) => setTimeout(resolve, 1));
  };
  for (const p of page.registry.programs.filter((p) => p.pattern && !p.setup)) {
    const thread = [], workers = [], kept = [], drawn = [];
    page.program = p.name;
    for (let i = 0; i < 7; i++) {
      const args = argv(p.name, ["--method=propagate", anew(i)]);
      const t0 = performance.now();
      call("slits_run", args);
      thread.push(performance.now() - t0);
      workers.push((await timedOnWorkers(args)).ms);
      kept.push((await timedOnWorkers(argv(p.name, ["--method=propagate", anew(i), "--precision=7"]))).ms);
      page.values["screen-distance"] = anew(i + 1).split("=")[1];
      const t1 = performance.now();
      update();
      await until(["drawn", "done"]);
      drawn.push(performance.now() - t1);
      await until(["done"]);  // the text, before the next
    }
    times[p.name] = `thread ${row(thread)} | ${workerCount()} workers ${row(workers)} | ` +
                    `kept ${row(kept)} | drawn ${row(drawn)}`;
  }
  return JSON.stringify(times, null, 1);
})()'
