// The page: controls made at run time from the registry the programs are
// built from, the address as the whole state, each change checked by the
// programs' own command line and computed by their own loops: the smallest
// on this thread, the others on one worker per core.
"use strict";

const page = {
  engine: null,    // the compiled module on this thread
  registry: null,  // parameters and programs, from slits_registry
  program: null,    // from the address, else the registry's first double slit
  values: {},      // option name -> text as typed
  precision: "6",
  scale: "linear",
  text: false,     // format=text: the data file only
  job: 0,          // the computation whose answer is awaited
  result: null,
  addressRefusal: null,  // what the address asks that no program does
  setupText: "",   // program pattern: its setup file's text ("": duogap's experiment)
  workers: null,   // workers=N from the address, else null: one per core
  measured: null,  // a measured profile: x, y (mm, as read), name
  overlay: null,   // its last fit onto the pattern drawn
  compare: "none", // a second phase model, drawn over the first
  comparison: null,  // its run: model, x, value, text; or error
};

const $ = (id) => document.getElementById(id);
const engineText = $("engine").textContent;

function reply(name, ...args) {
  return page.engine.ccall(name, "string", args.map(() => "string"), args);
}

function call(name, ...args) {
  return JSON.parse(reply(name, ...args));
}

// The engine takes the program and its arguments as one JSON array, so that
// each value stays one argument whatever it holds.
function argv(program, list) {
  return JSON.stringify([program, ...list]);
}

function programInfo() {
  return page.registry.programs.find((p) => p.name === page.program);
}

// The program of any setup, beside the registry's: it reads a setup file
// (here the text in its field) and the bench options a setup takes.
const setupProgram = { name: "pattern", title: "any setup of planes", pattern: true, setup: true,
                       screen: "", planes: [], quantity: "setup", prints: "the pattern of a setup" };
const setupParameters = new Set(["wavelength", "phase_model", "sampling", "method"]);

// Which parameters a program reads; the others are shown but greyed.
function usedBy(program, parameter) {
  const n = parameter.name;
  if (program.setup) return setupParameters.has(n);
  if (!program.pattern) return n === "led_sigma";
  if (n.startsWith("source_")) return program.planes.includes("source");
  if (n.startsWith("pair_") && n !== "pair_distance") return program.planes.includes("pair");
  if (n === "led_sigma") return program.quantity === "intensity";
  if (n.endsWith("_screen_max")) return n === program.screen;
  return true;
}

// The program's arguments: every value that is not the default's text, in
// registry order, and --precision when set.
function argumentList() {
  const program = programInfo();
  const list = [];
  for (const p of page.registry.parameters) {
    const text = page.values[p.option];
    // A setup's own lines hold until a field is set, to any value.
    if (text === undefined || (text === p.default && !program.setup)) continue;
    if (!usedBy(program, p) && (!program.pattern || program.setup)) continue;
    list.push(`--${p.option}=${text}`);
  }
  if (page.precision !== "6") list.push(`--precision=${page.precision}`);
  return list;
}

// A word as a shell reads it back; control characters, which a refused
// link may hold, in bash's $'...' so that the box shows them.
function shellWord(word) {
  if (/^[\w.=+\/-]+$/.test(word)) return word;
  if (!/[\u0000-\u001f\u007f]/.test(word)) return `'${word.replace(/'/g, "'\\''")}'`;
  const escape = (c) => ({ "\n": "\\n", "\t": "\\t", "\r": "\\r" })[c] ??
                        `\\x${c.charCodeAt(0).toString(16).padStart(2, "0")}`;
  return `$'${word.replace(/[\\']/g, "\\$&").replace(/[\u0000-\u001f\u007f]/g, escape)}'`;
}

function commandLine() {
  const setupFile = programInfo().setup && page.setupText ? ["--setup=setup.txt"] : [];
  const words = [page.program, ...setupFile, ...argumentList()].map(shellWord).join(" ");
  return programInfo().pattern ? words : `${words} > ${page.program}.txt`;
}

// A parameter given twice takes its last value, as an option does; a
// program the registry lacks is refused, not replaced.
function readAddress() {
  const query = new URLSearchParams(location.search);
  const last = (name) => query.getAll(name).pop() ?? null;
  const program = last("program");
  page.program = page.registry.programs.find((p) => p.planes.includes("pair")).name;
  if (page.registry.programs.some((p) => p.name === program)) page.program = program;
  else if (program !== null) page.addressRefusal = call("slits_check", argv(program, [])).refusal;
  for (const p of page.registry.parameters)
    if (query.has(p.option)) page.values[p.option] = last(p.option);
  if (query.has("precision")) page.precision = last("precision");
  page.setupText = last("setup") ?? "";
  page.workers = last("workers");
  if (last("scale") === "log") page.scale = "log";
  page.compare = last("compare") ?? "none";
  page.text = last("format") === "text";
}

function writeAddress() {
  const query = new URLSearchParams({ program: page.program });
  for (const p of page.registry.parameters) {
    const text = page.values[p.option];
    const setupOption = programInfo().setup && usedBy(programInfo(), p);
    if (text !== undefined && (text !== p.default || setupOption)) query.set(p.option, text);
  }
  if (page.precision !== "6") query.set("precision", page.precision);
  if (programInfo().setup && page.setupText) query.set("setup", page.setupText);
  if (page.scale === "log") query.set("scale", "log");
  if (page.compare !== "none") query.set("compare", page.compare);
  if (page.workers !== null) query.set("workers", page.workers);
  if (page.text) query.set("format", "text");
  if (emulatedFma) query.set("fma", "emulated");
  try {
    history.replaceState(null, "", `?${query}`);
  } catch (e) {
    // Some browsers refuse to change a file address; the link box still holds it.
  }
}

// ---------------------------------------------------------------------------
// Controls.

function field(id, labelText, control, title) {
  const row = document.createElement("div");
  row.className = "row";
  row.dataset.option = id;
  const label = document.createElement("label");
  label.htmlFor = control.id = `field-${id}`;
  label.textContent = labelText;
  row.append(label, control);
  if (title) {
    // The meaning, shown while the field has the focus: a tooltip needs a
    // pointer.
    label.title = control.title = title;
    const hint = document.createElement("div");
    hint.className = "hint";
    hint.id = control.dataset.hint = `hint-${id}`;
    hint.textContent = title;
    control.setAttribute("aria-describedby", hint.id);
    row.append(hint);
  }
  return row;
}

function textInput(value) {
  const input = document.createElement("input");
  input.type = "text";
  input.inputMode = "decimal";
  input.spellcheck = false;
  input.autocomplete = "off";
  input.value = value;
  return input;
}

// A slider for a length (logarithmic, a tenth to ten times the default) or
// a count (1 to four times the default); it writes three significant digits
// into the field, which stays the value.
function slider(p, input) {
  const range = document.createElement("input");
  range.type = "range";
  range.setAttribute("aria-label", `${p.option} slider`);
  const base = Number(p.default);
  let toValue, toPosition;
  if (p.kind === "length") {
    range.min = 0; range.max = 1000; range.step = 1;
    toValue = (k) => String(Number((base * Math.pow(10, (k - 500) / 500)).toPrecision(3)));
    toPosition = (v) => 500 + 500 * Math.log10(v / base);
  } else {
    range.min = 1; range.max = Math.min(p.largest, 4 * base); range.step = 1;
    toValue = (k) => String(k);
    toPosition = (v) => v;
  }
  const follow = () => {
    const v = Number(input.value);
    if (Number.isFinite(v) && v > 0) range.value = toPosition(v);
  };
  range.addEventListener("input", () => {
    input.value = toValue(Number(range.value));
    changed(input);
  });
  input.addEventListener("input", follow);
  follow();
  return range;
}

function buildControls() {
  const form = $("controls");
  const programs = document.createElement("select");
  for (const p of page.registry.programs) programs.add(new Option(p.name, p.name));
  programs.value = page.addressRefusal ? "" : page.program;
  programs.addEventListener("change", () => {
    page.addressRefusal = null;
    // A program's own experiment is where a setup starts from.
    if (programs.value === setupProgram.name && !page.setupText && !programInfo().setup) {
      const preset = call("slits_preset", argv(page.program, argumentList()));
      if (preset.setup !== undefined) {
        $("field-setup").value = page.setupText = preset.setup;
        showSetupForm();
      }
    }
    page.program = programs.value;
    markUnused();
    schedule();
  });
  form.append(field("program", "Program", programs, "the program whose output is shown"));
  const setupText = document.createElement("textarea");
  setupText.rows = 12;
  setupText.spellcheck = false;
  setupText.value = page.setupText;
  setupText.dataset.option = "setup";
  setupText.addEventListener("input", () => changed(setupText));
  form.append(field("setup", "Setup file", setupText,
                    "pattern's setup, one \"key values\" a line: source, plane, opening, slits " +
                    "(a grating: count, width, period, samples), screen, quantity; empty: " +
                    "duogap's experiment. Choosing pattern from a program starts from its own. " +
                    "The wavelength, phase model, sampling and method fields, once set, " +
                    "override the setup's lines. The form above writes this text, keeping " +
                    "its leading comment lines only."));
  buildSetupForm(document.querySelector('.row[data-option="setup"]'));
  const heading = document.createElement("h2");
  heading.textContent = "Bench and method";
  form.append(heading);
  for (const p of page.registry.parameters) {
    const value = page.values[p.option] ?? p.default;
    const label = `${p.option}${p.unit ? ` [${p.unit}]` : ""}`;
    const title = `${p.meaning} (default ${p.default}${p.unit ? " " + p.unit : ""})`;
    let control;
    if (p.kind === "choice") {
      control = document.createElement("select");
      for (const c of p.choices.split(" ")) control.add(new Option(c, c));
      control.value = value;
      control.addEventListener("change", () => changed(control));
    } else {
      control = textInput(value);
      control.addEventListener("input", () => changed(control));
    }
    control.dataset.option = p.option;
    const row = field(p.option, label, control, title);
    if (p.kind !== "choice") row.append(slider(p, control));
    form.append(row);
  }
  const output = document.createElement("h2");
  output.textContent = "Output";
  form.append(output);
  const precision = textInput(page.precision);
  precision.dataset.option = "precision";
  precision.addEventListener("input", () => changed(precision));
  form.append(field("precision", "precision [digits]", precision,
                    "significant digits of every printed number, 1 to 17 (default 6)"));
  markUnused();
}

function markUnused() {
  const program = programInfo();
  document.querySelector('.row[data-option="setup"]').hidden = !program.setup;
  for (const p of page.registry.parameters) {
    const row = document.querySelector(`.row[data-option="${p.option}"]`);
    const used = usedBy(program, p);
    row.classList.toggle("unused", !used);
    row.title = used ? "" : `not read by ${program.name}`;
  }
}

function changed(control) {
  if (page.addressRefusal) {
    page.addressRefusal = null;
    $("field-program").value = page.program;
  }
  if (control.dataset.option === "precision") page.precision = control.value;
  else if (control.dataset.option === "setup") page.setupText = control.value;
  else page.values[control.dataset.option] = control.value;
  schedule();
}

// Changes within one frame make one computation.
let pending = false;
function schedule() {
  if (pending) return;
  pending = true;
  requestAnimationFrame(() => {
    pending = false;
    update();
  });
}

// ---------------------------------------------------------------------------
// Computation.

function showRefusal(message, who = `${page.program}: `) {
  const option = /^setup:\d+:/.test(message) ? "setup" : (/^--([a-z-]+)/.exec(message) || [])[1];
  const row = option && document.querySelector(`.row[data-option="${option}"]`);
  if (row) {
    const note = document.createElement("div");
    note.className = "refused";
    note.id = `refused-${option}`;
    note.textContent = message;
    row.append(note);
    const input = row.querySelector(`#field-${option}`);
    input.setAttribute("aria-invalid", "true");
    input.setAttribute("aria-describedby", `${note.id} ${input.dataset.hint || ""}`.trim());
    if (option === "setup") markSetupRefusal(Number(/^setup:(\d+):/.exec(message)[1]), note.id);
  }
  $("refusal").textContent = `${who}error: ${message}`;
  $("refusal").hidden = false;
}

function clearRefusals() {
  document.querySelectorAll(".refused").forEach((n) => n.remove());
  document.querySelectorAll("#controls [aria-invalid]").forEach((n) => {
    n.removeAttribute("aria-invalid");
    if (n.dataset.hint) n.setAttribute("aria-describedby", n.dataset.hint);
    else n.removeAttribute("aria-describedby");
  });
  $("refusal").hidden = true;
}

function clearResult() {
  page.result = null;
  $("plot").innerHTML = "";
  $("data").textContent = "";
  $("warning").hidden = true;
}

// Every way a computation can end without data: a refusal of its input
// (state "refused") or a failure of its own (state "error"), each with its
// message where the alert is, so the page never waits on.
function refuse(message, who) {
  clearResult();
  showRefusal(message, who);
  $("status").textContent = "";
  document.body.dataset.state = "refused";
}

function fail(message) {
  clearResult();
  $("refusal").textContent = `${page.program}: error: ${message}`;
  $("refusal").hidden = false;
  $("status").textContent = "";
  document.body.dataset.state = "error";
}

// The sums on workers, one per core, each made from the same engine text (a
// page opened from a file may not load a worker's script by address) and
// kept for the next computation. Each takes the next share of screen
// blocks while any is left; the values come back by share and are put in
// place, and this thread's engine turns them into the data file as the
// program would (slits_gather). No sum is split, so any number of workers
// gives the same bits. A share of a computation no longer awaited is
// dropped when it arrives; a worker that failed, whose engine may be
// spent, is ended.
const pool = { workers: [], job: null, jobs: 0 };

// workers=N in the address, else one per core.
function workerCount() {
  const asked = Number(page.workers);
  if (Number.isInteger(asked) && asked >= 1 && asked <= 64) return asked;
  return Math.max(1, Math.min(navigator.hardwareConcurrency || 1, 64));
}

const workerCode = () => `${engineText}
const ready = createSlits(slitsEngineOptions(${emulatedFma}));
const failed = (job, e) =>
  postMessage({ job, spent: true, answer: JSON.stringify({ error: \`the engine failed: \${e && e.message || e}\` }) });
onmessage = (e) => ready.then((m) => {
  const { args, first, count, job, setup, match } = e.data;
  if (match !== undefined) {  // a measured profile matched to the model
    let answer, model;
    try {
      const n = match.x.length, room = m._slits_match_room(n) / 8;
      m.HEAPF64.set(match.x, room);
      m.HEAPF64.set(match.y, room + n);
      answer = m.ccall("slits_match", "string", ["string", "string", "number", "number", "number"],
                       [match.setup, args, n, match.width, match.background]);
      const head = JSON.parse(answer);
      if (head.model !== undefined) model = m.HEAPF64.slice(head.model / 8, head.model / 8 + n);
    } catch (error) {
      return failed(job, error);
    }
    return postMessage({ job, answer, model }, model ? [model.buffer] : []);
  }
  if (setup !== undefined) {  // a setup's whole run
    let answer, x, value, lines;
    try {
      answer = m.ccall("slits_setup", "string", ["string", "string"], [setup, args]);
      const head = JSON.parse(answer);
      if (head.points !== undefined) {
        x = m.HEAPF64.slice(head.x / 8, head.x / 8 + head.points);
        value = m.HEAPF64.slice(head.value / 8, head.value / 8 + head.points);
      }
      if (head.lines !== undefined) {
        const at = head.line_intensities / 8;
        lines = m.HEAPF64.slice(at, at + head.lines.length * head.points);
      }
    } catch (error) {
      return failed(job, error);
    }
    const moved = x ? [x.buffer, value.buffer, ...(lines ? [lines.buffer] : [])] : [];
    return postMessage({ job, answer, x, value, lines }, moved);
  }
  let head;
  try {
    head = JSON.parse(m.ccall("slits_blocks", "string", ["string", "number", "number"], [args, first, count]));
  } catch (error) {
    return failed(job, error);
  }
  if (head.at === undefined) return postMessage({ job, answer: JSON.stringify(head) });
  const values = m.HEAPF64.slice(head.at / 8, head.at / 8 + head.points);
  postMessage({ job, first, count, values, library: head.library_phases }, [values.buffer]);
}, (error) => failed(e.data.job, error));`;

function stopWorkers() {
  for (const w of pool.workers) w.terminate();
  pool.workers = [];
  pool.job = null;
  page.busy = false;
  $("progress").hidden = true;
}

// A worker on a share of a computation no longer awaited is ended when the
// share is long (about a tenth of a second or more by its cost, or begun a
// quarter of a second ago): a new one starts in about as long. Shorter
// shares run out, so that a dragged control keeps its workers.
function endLongShares() {
  const now = performance.now();
  pool.workers = pool.workers.filter((w) => {
    if (!w.busy || !(w.heavy || now - w.since > 250)) return true;
    w.terminate();
    return false;
  });
}

// The computation on the workers is no longer awaited.
function dropWorkerJob() {
  endLongShares();
  pool.job = null;
  page.busy = false;
  $("progress").hidden = true;
}

function makeWorker() {
  const url = URL.createObjectURL(new Blob([workerCode()], { type: "text/javascript" }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  worker.onmessage = (e) => {
    worker.busy = false;
    const job = pool.job;
    try {
      shareDone(worker, e.data);
    } catch (error) {  // the page's own fault: told, not waited on
      dropWorkerJob();
      if (job) job.finish(JSON.stringify({ error: `the page failed: ${error.message}` }));
    }
  };
  worker.onerror = (e) => {
    e.preventDefault();
    const job = pool.job;
    stopWorkers();
    if (job) job.finish(JSON.stringify({ error: `the computation failed: ${e.message}` }));
  };
  return worker;
}

function feed(worker) {
  const job = pool.job;
  if (!job || job.next >= job.blocks) return;
  worker.busy = true;
  worker.since = performance.now();
  worker.heavy = job.heavy;
  if (job.setup !== undefined) {
    job.next = job.blocks;
    return worker.postMessage({ args: job.args, setup: job.setup, job: job.id });
  }
  const first = job.next, count = Math.min(job.share, job.blocks - first);
  job.next += count;
  worker.postMessage({ args: job.args, first, count, job: job.id });
}

function shareDone(worker, message) {
  const job = pool.job;
  if (!job || message.job !== job.id) return feed(worker);
  if (message.answer !== undefined) {  // a setup's run, or a refusal or failure of the whole
    if (message.spent) stopWorkers();
    pool.job = null;
    page.busy = false;
    return job.finish(message.answer, null,
                      message.x && { x: message.x, value: message.value, lines: message.lines });
  }
  job.values.set(message.values, message.first * 8);
  job.library += message.library;
  job.done += message.count;
  $("bar").value = job.done / job.blocks;
  if (job.done < job.blocks) return feed(worker);
  pool.job = null;
  page.busy = false;
  const room = page.engine._slits_gather_room(job.values.length);
  page.engine.HEAPF64.set(job.values, room / 8);
  job.finish(page.engine.ccall("slits_gather", "string", ["string", "number", "number"],
                               [job.args, job.library, job.withText ? 1 : 0]), job.values);
}

// The pattern of these arguments (points screen points) on the workers;
// finish(answer, values) receives the engine's answer text, as slits_run
// gives it but for the data file's text without withText, and the values
// the workers sent.
function computeOnWorkers(args, points, finish, withText, cost = 0) {
  endLongShares();
  const size = workerCount();
  while (pool.workers.length < size) pool.workers.push(makeWorker());
  while (pool.workers.length > size) pool.workers.pop().terminate();
  const blocks = Math.ceil(points / 8);
  // A few shares per worker, so that one slowed by other work on its core
  // is not waited for long.
  const share = Math.max(1, Math.ceil(blocks / (4 * size)));
  const heavy = cost / Math.ceil(blocks / share) > 1e6;  // exponentials in a share
  pool.job = { id: ++pool.jobs, args, blocks, share, next: 0, done: 0, heavy,
               values: new Float64Array(points), library: 0, finish, withText };
  page.busy = true;
  // A worker still on a share no longer awaited takes its next on return.
  for (const w of pool.workers) if (!w.busy) feed(w);
}

// A setup's whole run on one worker; finish as for computeOnWorkers, with
// the plotted values as the third argument.
function computeSetupOnWorker(setup, args, finish) {
  endLongShares();
  if (pool.workers.length === 0) pool.workers.push(makeWorker());
  pool.job = { id: ++pool.jobs, args, setup, blocks: 1, next: 0, finish };
  page.busy = true;
  const idle = pool.workers.find((w) => !w.busy) ?? pool.workers[0];
  feed(idle);
}

// Resolves to the answer text and the milliseconds it took, as a user
// meets them: for speed/page_speed.sh.
function timedOnWorkers(args) {
  const t0 = performance.now();
  const { points } = call("slits_check", args);
  return new Promise((resolve) => computeOnWorkers(args, points,
    (answer) => resolve({ answer, ms: performance.now() - t0 })));
}

function update() {
  if (page.addressRefusal) {
    $("command").value = "";
    clearRefusals();
    return refuse(page.addressRefusal, "");
  }
  writeAddress();
  $("command").value = commandLine();
  clearRefusals();
  const job = ++page.job;
  document.body.dataset.state = "computing";
  const args = argv(page.program, argumentList());
  const t0 = performance.now();
  const noteAfterAFrame = () =>
    setTimeout(() => { if (page.busy && job === page.job) $("progress").hidden = false; }, 17);
  if (programInfo().setup) {
    $("status").textContent = "Computing the setup…";
    $("bar").removeAttribute("value");  // no measure of its progress
    noteAfterAFrame();
    computeSetupOnWorker(page.setupText, args, (answer, values, arrays) => {
      $("progress").hidden = true;
      $("bar").value = 0;
      if (job === page.job) show(answer, performance.now() - t0, "on a worker", null, arrays);
    });
    return;
  }
  let check;
  try {
    check = call("slits_check", args);
  } catch (e) {
    return fail(`the engine failed: ${e.message}`);
  }
  if (check.refusal !== undefined || check.error !== undefined) {
    dropWorkerJob();
    if (check.error !== undefined) return fail(check.error);
    return refuse(check.refusal);
  }
  // WebAssembly has no fused multiply-add, which the kernel emulates
  // exactly: a phasor costs about 0.2 microseconds here, so all but the
  // smallest work goes to the workers and the page stays responsive.
  if (!programInfo().pattern || check.cost <= 2e4) {
    dropWorkerJob();
    let answer;
    try {
      answer = reply("slits_run", args);
    } catch (e) {
      return fail(`the engine failed: ${e.message}`);
    }
    show(answer, performance.now() - t0, "on the page's thread");
    return;
  }
  $("status").textContent = `Computing ${check.cost.toPrecision(3)} exponentials…`;
  const size = workerCount();
  $("bar").value = 0;
  noteAfterAFrame();  // the note only once the computation has outlasted a frame
  computeOnWorkers(args, check.points, (answer, values) => {
    $("progress").hidden = true;
    if (job === page.job)
      show(answer, performance.now() - t0, `on ${size} worker${size > 1 ? "s" : ""}`,
           { args, values });
  }, page.text, check.cost);
}

// The engine's answer, as text: the data, a refusal or a failure. Every
// value is checked finite before it is drawn: the engine refuses any that
// is not, and a value the plot cannot place must not pass for a point.
// gathered: the arguments and the workers' values, from which the text is
// made when the answer lacks it; arrays: the plotted x and values when they
// are not in this thread's engine (a setup's run on a worker).
function show(text, ms, where, gathered = null, arrays = null) {
  let answer;
  try {
    answer = JSON.parse(text);
  } catch (e) {
    return fail(`the engine's answer does not parse: ${e.message}`);
  }
  if (answer.refusal !== undefined) return refuse(answer.refusal);
  if (answer.error !== undefined) return fail(answer.error);
  // The values lie in this thread's engine until its next call.
  const heap = (at) => Array.from(page.engine.HEAPF64.subarray(at / 8, at / 8 + answer.points));
  const x = answer.x = arrays ? Array.from(arrays.x) : heap(answer.x);
  const value = answer.value = arrays ? Array.from(arrays.value) : heap(answer.value);
  if (arrays && arrays.lines) answer.lineIntensities = arrays.lines;
  for (let i = 0; i < x.length; i++)
    if (!Number.isFinite(x[i]) || !Number.isFinite(value[i]))
      return fail(`point ${i + 1} of ${x.length} is not a finite number`);
  page.result = { ...answer, program: page.program, command: commandLine(), ...gathered };
  $("data").textContent = answer.text ?? "";
  $("status").textContent = `${page.program}: ${x.length} points computed in ` +
                            `${ms.toFixed(1)} ms ${where}.`;
  $("status").dataset.ms = ms.toFixed(2);
  const warning = $("warning");
  warning.hidden = answer.library_phases === 0 && !answer.literal_library && !answer.rs_library;
  warning.textContent = answer.rs_library
    ? "A hop of this bench is shorter than about 16 wavelengths (k L < 100): its rs factors " +
      "come from the browser's C library's j1, y1 and atan2, which are not glibc's: exactness " +
      "is not guaranteed for this bench."
    : answer.literal_library
    ? "The setup's literal sums take every phasor from the browser's C library, which is not " +
      "glibc: exactness is not guaranteed; --method=propagate gives pattern's bits."
    : `${answer.library_phases} phases reached |θ| ≥ 105414336, beyond the ` +
      "kernel's reduction range, and came from the browser's C library, which is not glibc: " +
      "exactness is not guaranteed for this bench.";
  if (!page.text) {
    try {
      draw();
    } catch (e) {
      return fail(`the plot failed: ${e.message}`);
    }
  }
  startComparison(page.job);
  if (answer.text !== null) {
    document.body.dataset.state = "done";
    return;
  }
  // The data file's lines once the plot is on the screen, unless the next
  // computation comes first.
  const job = page.job, result = page.result;
  document.body.dataset.state = "drawn";
  requestAnimationFrame(() => setTimeout(() => {
    if (job !== page.job || result !== page.result) return;
    try {
      $("data").textContent = dataText();
    } catch (e) {
      return fail(`the data file's text failed: ${e.message}`);
    }
    document.body.dataset.state = "done";
  }));
}

// The arguments of the run in the model compared with: the page's own with
// the phase model replaced.
function comparisonArgs() {
  const list = argumentList().filter((a) => !a.startsWith("--phase-model="));
  return argv(page.program, [...list, `--phase-model=${page.compare}`]);
}

// The pattern in the second model, computed as any run (its data file's
// text is the program's in that model) once the first is shown, and drawn
// over it; body data-compare says where it is.
function startComparison(job) {
  page.comparison = null;
  if (page.compare === "none" || !programInfo().pattern) {
    document.body.dataset.compare = "none";
    return;
  }
  document.body.dataset.compare = "computing";
  const model = page.compare, args = comparisonArgs();
  const done = (text, values, arrays) => {
    if (job !== page.job) return;
    let answer;
    try {
      answer = JSON.parse(text);
    } catch (e) {
      answer = { error: `the engine's answer does not parse: ${e.message}` };
    }
    if (answer.points !== undefined) {
      const heap = (at) => Array.from(page.engine.HEAPF64.subarray(at / 8, at / 8 + answer.points));
      page.comparison = { model, text: answer.text, rs_library: answer.rs_library,
                          library_phases: answer.library_phases,
                          x: arrays ? Array.from(arrays.x) : heap(answer.x),
                          value: arrays ? Array.from(arrays.value) : heap(answer.value) };
    } else {
      page.comparison = { model, error: answer.refusal ?? answer.error };
    }
    document.body.dataset.compare = "done";
    if (!page.text) draw();
  };
  if (programInfo().setup) return computeSetupOnWorker(page.setupText, args, done);
  const check = call("slits_check", args);
  if (check.refusal !== undefined || check.error !== undefined)
    return done(JSON.stringify(check));
  if (check.cost <= 2e4) return done(reply("slits_run", args));
  computeOnWorkers(args, check.points, done, true, check.cost);
}

// The data file's text of the result shown, made now if the answer came
// without it.
function dataText() {
  const r = page.result;
  if (r.text === null) {
    const room = page.engine._slits_gather_room(r.values.length);
    page.engine.HEAPF64.set(r.values, room / 8);
    const answer = JSON.parse(page.engine.ccall("slits_gather", "string", ["string", "number", "number"],
                                                [r.args, r.library_phases, 1]));
    if (answer.text === undefined) throw new Error(answer.error ?? answer.refusal);
    r.text = answer.text;
  }
  return r.text;
}

function plotOf(result) {
  const program = page.registry.programs.find((p) => p.name === result.program);
  const intensity = program.quantity === "intensity";
  const bench = (option) => page.values[option] ?? page.registry.parameters
    .find((p) => p.option === option).default;
  if (program.setup) {  // its screen, quantity and wavelength are the setup's
    const amplitude = result.quantity === "amplitude";
    return {
      x: result.x, value: result.value, mirror: false, xMax: extent(result.x).most,
      log: page.scale === "log",
      yLabel: amplitude ? "amplitude |f(x)|" : result.quantity === "relative"
        ? "intensity, relative to the axis" : "intensity",
      xLabel: "x, position on the screen (mm)",
      light: amplitude ? result.value.map((v) => v * v) : result.value,
      title: [`pattern: the ${result.quantity === "relative" ? "intensity relative to the axis"
                                                                : result.quantity} of a setup`,
              result.command],
      overlay: overlayOf(result, program),
      compare: compareOf(result),
      ...(result.lines ? spectrumStrip(result) : stripColour(result.wavelength * 1e6)),
    };
  }
  const xMax = !program.pattern ? 50
             : Number(bench(program.screen.replace(/_/g, "-")));
  return {
    x: result.x,
    value: result.value,
    mirror: program.pattern,
    xMax,
    log: page.scale === "log",
    yLabel: !program.pattern ? "LED(x)" : intensity ? "intensity, relative to the axis"
                                                   : "amplitude |f(x)|",
    xLabel: program.pattern ? "x, position on the screen (mm)" : "x, position on the source (mm)",
    light: !program.pattern ? null : intensity ? result.value : result.value.map((v) => v * v),
    title: [`${program.name}: ${program.prints}`, result.command],
    overlay: overlayOf(result, program),
    compare: compareOf(result),
    ...stripColour(Number(bench("wavelength")) * 1e6),
  };
}

// The second model's curve, and its difference relative to the first at
// each point where the first is not zero, for the lower panel; or null.
function compareOf(result) {
  const c = page.comparison;
  if (!c || c.error !== undefined || c.x.length !== result.x.length) return null;
  const model = page.values["phase-model"] ??
    (programInfo().setup ? "the setup's model"
                         : page.registry.parameters.find((p) => p.name === "phase_model").default);
  const rx = [], ry = [];
  c.value.forEach((v, i) => {
    if (result.value[i] !== 0) {
      rx.push(c.x[i]);
      ry.push(v / result.value[i] - 1);
    }
  });
  return { x: c.x, value: c.value, label: `${c.model} (the first curve: ${model})`,
           residualX: rx, residual: ry, residualLabel: `${c.model} / first − 1` };
}

// The strip of a spectrum: each line's intensity (from the engine) as the
// eye adds them.
function spectrumStrip(result) {
  const n = result.x.length, all = result.lineIntensities;
  const lines = result.lines.map((line, k) =>
    ({ nm: line.nm, weight: line.weight, intensity: all.subarray(k * n, (k + 1) * n) }));
  const rgb = spectrumColours(lines);
  const nm = lines.map((l) => l.nm);
  const span = `${lines.length} wavelengths, ${Number(Math.min(...nm).toPrecision(4))} to ` +
               `${Number(Math.max(...nm).toPrecision(4))} nm`;
  return rgb ? { colour: { rgb }, stripNote: `strip: the spectrum's colour, ${span} (sRGB)` }
             : { colour: null, stripNote: `strip: grey levels (${span}, none visible)` };
}

// The strip tinted by the wavelength (mm in the bench, nm here), grey where
// the eye sees nothing.
function stripColour(nm) {
  const tint = wavelengthTint(nm);
  const shown = Number(nm.toPrecision(4));
  return tint ? { colour: { tint }, stripNote: `strip: the light's colour at ${shown} nm (sRGB)` }
              : { colour: null, stripNote: `strip: grey levels (${shown} nm is not visible)` };
}

// The measured profile fitted onto this result, or null. Least squares is
// slits.fit's match, from the engine: the model's intensity at the measured
// positions, read by a sensor of the width given, a scale and a background;
// the measured values are drawn brought back onto the model, (y - b) / a (as
// an amplitude where the plot shows one), residuals against the engine's
// values at the same positions.
function overlayOf(result, program) {
  if (!page.measured) return null;
  const offset = Number($("measured-offset").value);
  const normalisation = $("measured-normalisation").value;
  const shifted = Number.isFinite(offset) ? offset : 0;
  const shift = offset ? `, shifted ${offset} mm` : "";
  const fit = normalisation === "least-squares"
    ? matchMeasured(result, program, shifted)
    : fitMeasured(page.measured, { x: result.x, value: result.value,
                                   mirror: program.pattern && !program.setup },
                  normalisation, shifted);
  page.overlay = fit.pending ? null : fit;
  if (fit.pending) {
    $("measured-message").textContent = "least squares: matching the model at the measured positions…";
    $("measured-message").hidden = false;
    $("measured-message").dataset.from = "match";
    return null;
  }
  if (fit.error) {
    $("measured-message").textContent = `least squares: ${fit.error}`;
    $("measured-message").hidden = false;
    $("measured-message").dataset.from = "match";
    return null;
  }
  const scale = fit.background === undefined ? `× ${Number(fit.scale.toPrecision(4))}`
    : `a = ${Number(fit.a.toPrecision(4))}, b = ${Number(fit.background.toPrecision(4))}` +
      (fit.sensor ? `, sensor ${fit.sensor} mm (${fit.nodes} nodes)` : "");
  return { ...fit, label: `${page.measured.name}, ${scale}${shift}` };
}

// match_profile through the engine, for the page's program or setup, on a
// worker of its own (the model at every measured position, times the
// sensor's nodes, can take seconds); kept while nothing it reads changes.
// Until it answers the overlay waits (matching.key is set).
const matching = { worker: null, key: null, id: 0, fit: null, fitKey: null };
function matchMeasured(result, program, offset) {
  const width = Number($("measured-sensor").value);
  const background = $("measured-background").checked;
  const args = argv(page.program, argumentList());
  const m = page.measured, x = m.x.map((v) => v + offset);
  const key = JSON.stringify([args, page.setupText, offset, width, background, m.serial,
                              result.x.length]);
  if (matching.fitKey === key) return matching.fit;
  if (matching.key === key) return { pending: true };
  if (matching.worker && matching.key !== null) matching.worker.terminate();  // a stale match
  if (!matching.worker || matching.key !== null) {
    const url = URL.createObjectURL(new Blob([workerCode()], { type: "text/javascript" }));
    matching.worker = new Worker(url);
    URL.revokeObjectURL(url);
  }
  const id = ++matching.id;
  matching.key = key;
  matching.worker.onmessage = (e) => {
    if (e.data.job !== id) return;
    matching.key = null;
    if (e.data.spent) {
      matching.worker.terminate();
      matching.worker = null;
    }
    try {
      matching.fit = matchedFit(result, program, x, width, JSON.parse(e.data.answer), e.data.model);
    } catch (error) {  // the page's own fault: told, not waited on
      matching.fit = { error: `the page failed: ${error.message}` };
    }
    matching.fitKey = key;
    draw();
  };
  matching.worker.postMessage({ job: id, args, match: {
    setup: program.setup ? page.setupText : "", x: Float64Array.from(x), y: Float64Array.from(m.y),
    width: Number.isFinite(width) ? width : -1, background: background ? 1 : 0 } });
  return { pending: true };
}

// The drawn overlay from the engine's match (see overlayOf).
function matchedFit(result, program, x, width, answer, model) {
  const m = page.measured;
  let fit;
  if (answer.scale === undefined) {
    fit = { error: answer.refusal ?? answer.error };
  } else {
    const amplitude = program.setup ? result.quantity === "amplitude"
                                    : program.quantity === "amplitude";
    const shown = amplitude ? (v) => Math.sqrt(Math.max(v, 0)) : (v) => v;
    const a = answer.scale, b = answer.background;
    const y = m.y.map((v) => shown((v - b) / a));
    fit = { x, y, a, scale: 1 / a, background: b, nodes: answer.nodes, sensor: width,
            residualX: x, residual: y.map((v, i) => v - shown(model[i])) };
    if (!(a > 0)) fit = { error: "the model does not vary over the measured positions" };
  }
  return fit;
}

// A measured file's text: drawn over the pattern, or refused with the line
// at fault, the pattern and any earlier profile kept. Returns the message
// shown, or "" when the profile is drawn.
function loadMeasured(text, name) {
  const message = $("measured-message");
  const read = parseMeasured(text);
  if (read.error) {
    message.textContent = `${name}: ${read.error}; nothing drawn from it.`;
    message.dataset.from = "file";
    message.hidden = false;
    return message.textContent;
  }
  message.hidden = true;
  page.measured = { ...read, name, serial: (page.measured?.serial ?? 0) + 1 };
  $("measured-remove").hidden = false;
  draw();
  return "";
}

function readMeasuredFile(file) {
  if (!file) return;
  file.text().then((text) => loadMeasured(text, file.name),
                   (e) => loadMeasured("", `${file.name} (unreadable: ${e.message})`));
}

function wireMeasured() {
  $("measured-file").addEventListener("change", (e) => readMeasuredFile(e.target.files[0]));
  $("measured-normalisation").addEventListener("change", draw);
  $("measured-background").addEventListener("change", draw);
  $("measured-sensor").addEventListener("input", () => {
    const v = Number($("measured-sensor").value);
    const ok = Number.isFinite(v) && v >= 0;
    $("measured-sensor").setAttribute("aria-invalid", String(!ok));
    if (ok) draw();
  });
  $("measured-offset").addEventListener("input", () => {
    const ok = Number.isFinite(Number($("measured-offset").value));
    $("measured-offset").setAttribute("aria-invalid", String(!ok));
    if (ok) draw();
  });
  $("measured-remove").addEventListener("click", () => {
    page.measured = page.overlay = null;
    $("measured-file").value = "";
    $("measured-remove").hidden = true;
    $("measured-message").hidden = true;
    draw();
  });
  const view = $("view");
  view.addEventListener("dragover", (e) => e.preventDefault());
  view.addEventListener("drop", (e) => {
    e.preventDefault();
    readMeasuredFile(e.dataTransfer.files[0]);
  });
}

function draw() {
  if (!page.result) return;
  if ($("measured-message").dataset.from === "match") $("measured-message").hidden = true;
  $("plot").innerHTML = plotSVG(plotOf(page.result));
}

// ---------------------------------------------------------------------------
// Downloads.

function download(name, blob) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

function savePNG() {
  const svg = plotSVG(plotOf(page.result));
  const image = new Image();
  image.onload = () => {
    const canvas = document.createElement("canvas");
    canvas.width = 2 * plotSize.width;
    canvas.height = 2 * image.naturalHeight;
    const context = canvas.getContext("2d");
    context.scale(2, 2);
    context.drawImage(image, 0, 0);
    canvas.toBlob((blob) => download(`${page.result.program}.png`, blob), "image/png");
  };
  image.src = `data:image/svg+xml;charset=utf-8,${encodeURIComponent(svg)}`;
}

function wireToolbar() {
  $("scale").value = page.scale;
  $("scale").addEventListener("change", () => {
    page.scale = $("scale").value;
    writeAddress();
    draw();
  });
  const models = page.registry.parameters.find((p) => p.name === "phase_model").choices.split(" ");
  for (const m of models) $("compare").add(new Option(m, m));
  if (!models.includes(page.compare)) page.compare = "none";
  $("compare").value = page.compare;
  $("compare").addEventListener("change", () => {
    page.compare = $("compare").value;
    writeAddress();
    if (page.result) startComparison(page.job);
    draw();
  });
  $("save-data").addEventListener("click", () => page.result &&
    download(`${page.result.program}.txt`, new Blob([dataText()], { type: "text/plain" })));
  $("save-svg").addEventListener("click", () => page.result &&
    download(`${page.result.program}.svg`, new Blob([plotSVG(plotOf(page.result))],
                                                    { type: "image/svg+xml" })));
  $("save-png").addEventListener("click", () => page.result && savePNG());
  document.addEventListener("keydown", (e) => {
    if (e.key === "Escape" && page.busy) $("cancel").click();
  });
  $("cancel").addEventListener("click", () => {
    dropWorkerJob();
    page.job++;
    $("status").textContent = "Cancelled.";
    document.body.dataset.state = "cancelled";
  });
}

// fma=emulated in the address: the kernel's exact emulation of the fused
// multiply-add, as on a browser or CPU where relaxed SIMD's is not fused.
const emulatedFma = new URLSearchParams(location.search).getAll("fma").pop() === "emulated";

$("status").textContent = "Loading…";
createSlits(slitsEngineOptions(emulatedFma)).then((engine) => {
  page.engine = engine;
  page.registry = call("slits_registry");
  page.registry.programs.push(setupProgram);
  readAddress();
  document.body.classList.toggle("text", page.text);
  $("data-box").open = page.text;
  buildControls();
  wireToolbar();
  wireMeasured();
  update();
}, (e) => {
  $("status").textContent = `The engine failed to start: ${e && e.message || e}`;
  document.body.dataset.state = "error";
});
