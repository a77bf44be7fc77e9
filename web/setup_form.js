// The setup's form: planes and openings, gratings, the source, the light and
// the screen as controls, for those who do not know the file's lines. The
// text field stays the one truth: the form is read from it and writes it
// back whole, each value as typed, so that the engine refuses a bad value by
// its own line as it does for the text. A text the form cannot show (a
// table, a screen from a file, the LED programs' flags) leaves the form
// hidden and the text field as the editor.
"use strict";

const setupForm = { model: null, root: null, note: null };

// The bench's lines a setup takes, other than the wavelength: kept as given.
const setupBenchKeys = ["phase_model", "sampling", "method"];

// The text's lines as the form holds them, or { why } when it cannot.
function parseSetup(text) {
  const model = { header: [], light: { kind: "" }, bench: [], source: { kind: "" }, planes: [],
                  screen: null, quantity: "" };
  const owners = new Map();  // line -> the form's group that shows it
  const seen = new Set();
  let content = false;
  const lines = text.split("\n");
  for (let n = 0; n < lines.length; ++n) {
    const raw = lines[n];
    // A word starting with # starts a comment.
    const words = raw.split(/\s+/).filter((w) => w !== "");
    const hash = words.findIndex((w) => w.startsWith("#"));
    if (hash >= 0) words.length = hash;
    if (words.length === 0) {
      if (!content && raw.trim() !== "") model.header.push(raw.trimEnd());
      continue;
    }
    content = true;
    const [key, ...v] = words;
    const plane = model.planes.length;
    owners.set(n + 1, { wavelength: "light", spectrum: "light", source: "source", screen: "screen",
                        quantity: "screen", plane: `plane-${plane + 1}`,
                        opening: `plane-${plane}-opening-${(model.planes.at(-1)?.openings.length ?? 0) + 1}`,
                        slits: `plane-${plane}-opening-${(model.planes.at(-1)?.openings.length ?? 0) + 1}` }[key]);
    const why = (what) => ({ why: `line ${n + 1}: ${what}` });
    if (!["plane", "opening", "slits"].includes(key)) {
      if (seen.has(key)) return why(`${key} given twice`);
      seen.add(key);
    }
    if (model.screen && ["plane", "opening", "slits"].includes(key)) return why(`${key} after the screen line`);
    if (key === "wavelength" && v.length === 1 && !seen.has("spectrum")) {
      model.light = { kind: "line", wavelength: v[0] };
    } else if (key === "spectrum" && v[0] === "gaussian" && v.length === 4 && !seen.has("wavelength")) {
      model.light = { kind: "gaussian", centre: v[1], fwhm: v[2], samples: v[3] };
    } else if (setupBenchKeys.includes(key) && v.length === 1) {
      model.bench.push([key, v[0]]);
    } else if (key === "source" && v[0] === "plane_wave" && v.length === 1) {
      model.source = { kind: "plane_wave" };
    } else if (key === "source" && v[0] === "coherent" && v.length === 3) {
      model.source = { kind: "coherent", width: v[1], samples: v[2] };
    } else if (key === "source" && v[0] === "incoherent" && v.length >= 4) {
      const s = { kind: "incoherent", width: v[1], samples: v[2], profile: v[3], sigma: "", weighs: "" };
      let rest = v.slice(4);
      if (s.profile === "gaussian") {
        if (rest.length === 0) return why("a gaussian profile without its σ");
        s.sigma = rest.shift();
      } else if (s.profile !== "uniform") {
        return why(`the profile '${s.profile}' (the form takes uniform or gaussian)`);
      }
      if (rest.length === 1 && ["amplitude", "intensity"].includes(rest[0])) s.weighs = rest.shift();
      if (rest.length > 0) return why(`'${rest.join(" ")}' on the source line`);
      model.source = s;
    } else if (key === "plane" && v.length === 1) {
      model.planes.push({ distance: v[0], openings: [] });
    } else if ((key === "opening" && v.length === 3) || (key === "slits" && v.length === 4)) {
      if (model.planes.length === 0) return why(`${key} before any plane line`);
      const o = key === "opening" ? { kind: "opening", from: v[0], to: v[1], samples: v[2] }
                                  : { kind: "slits", count: v[0], width: v[1], period: v[2], samples: v[3] };
      model.planes.at(-1).openings.push(o);
    } else if (key === "screen" && v.length === 4 && v[1] !== "file") {
      model.screen = { distance: v[0], from: v[1], to: v[2], count: v[3] };
    } else if (key === "quantity" && v.length === 1 && ["amplitude", "intensity", "relative"].includes(v[0])) {
      model.quantity = v[0];
    } else {
      return why(`'${words.join(" ")}'`);
    }
  }
  return { model, owners };
}

// The text of the form's lines, in the order the file reads best.
function setupText(model) {
  const lines = [...model.header];
  const light = model.light;
  if (light.kind === "line") lines.push(`wavelength ${light.wavelength}`);
  if (light.kind === "gaussian")
    lines.push(`spectrum gaussian ${light.centre} ${light.fwhm} ${light.samples}`);
  for (const [key, value] of model.bench) lines.push(`${key} ${value}`);
  const s = model.source;
  if (s.kind === "plane_wave") lines.push("source plane_wave");
  if (s.kind === "coherent") lines.push(`source coherent ${s.width} ${s.samples}`);
  if (s.kind === "incoherent")
    lines.push(["source incoherent", s.width, s.samples, s.profile,
                s.profile === "gaussian" ? s.sigma : "", s.weighs].filter((w) => w !== "").join(" "));
  for (const plane of model.planes) {
    lines.push(`plane ${plane.distance}`);
    for (const o of plane.openings)
      lines.push(o.kind === "opening" ? `opening ${o.from} ${o.to} ${o.samples}`
                                      : `slits ${o.count} ${o.width} ${o.period} ${o.samples}`);
  }
  const c = model.screen;
  if (c && Object.values(c).some((w) => w !== "")) lines.push(`screen ${c.distance} ${c.from} ${c.to} ${c.count}`);
  if (model.quantity) lines.push(`quantity ${model.quantity}`);
  return lines.map((l) => l.replace(/\s+$/, "")).join("\n") + "\n";
}

// The form's edit, written to the text field as if typed there.
function writeSetupFromForm() {
  const text = $("field-setup");
  text.value = setupText(setupForm.model);
  changed(text);
}

function formElement(tag, properties = {}) {
  return Object.assign(document.createElement(tag), properties);
}

// A labelled field bound to object[key]; its id names it for tests and its
// label for a screen reader.
function formInput(id, labelText, object, key, hint) {
  const label = formElement("label", { className: "form-field" });
  const input = textInput(object[key] ?? "");
  input.id = `setup-${id}`;
  input.size = 7;
  if (hint) input.title = hint;
  input.addEventListener("input", () => {
    object[key] = input.value.trim();
    writeSetupFromForm();
  });
  label.append(labelText, input);
  return label;
}

function formSelect(id, labelText, object, key, choices, rebuild) {
  const label = formElement("label", { className: "form-field" });
  const select = formElement("select", { id: `setup-${id}` });
  for (const [value, text] of choices) select.add(new Option(text, value));
  select.value = object[key] ?? "";
  select.addEventListener("change", () => {
    object[key] = select.value;
    if (rebuild) rebuild(select.id);
    writeSetupFromForm();
  });
  label.append(labelText, select);
  return label;
}

function formButton(id, text, action, aria) {
  const button = formElement("button", { type: "button", id: `setup-${id}`, textContent: text });
  if (aria) button.setAttribute("aria-label", aria);
  button.addEventListener("click", () => {
    action();
    writeSetupFromForm();
  });
  return button;
}

function formGroup(id, legend, ...children) {
  const group = formElement("fieldset", { className: "form-group", id: `setup-group-${id}` });
  group.append(formElement("legend", { textContent: legend }), ...children);
  return group;
}

// The controls for the model, made anew after a change of structure; the
// control that made it keeps the focus (or the one that takes its place).
function drawSetupForm(focus) {
  const m = setupForm.model, root = setupForm.root;
  root.replaceChildren();
  const redraw = (id) => drawSetupForm(id);
  // A kind newly chosen starts from values that compute (green light, a
  // strip of a millimetre), so that each step shows a pattern.
  const starting = (object, values) => (id) => {
    for (const [key, value] of Object.entries(values[object.kind] ?? {})) object[key] ||= value;
    drawSetupForm(id);
  };
  const light = [formSelect("light", "kind", m.light, "kind",
                            [["", "the wavelength field's"], ["line", "one wavelength"],
                             ["gaussian", "gaussian spectrum"]],
                            starting(m.light, { line: { wavelength: "0.000532" },
                                                gaussian: { centre: "0.00055", fwhm: "0.0001", samples: "15" } }))];
  if (m.light.kind === "line") light.push(formInput("wavelength", "λ [mm]", m.light, "wavelength"));
  if (m.light.kind === "gaussian")
    light.push(formInput("centre", "centre [mm]", m.light, "centre"),
               formInput("fwhm", "FWHM [mm]", m.light, "fwhm", "full width at half maximum"),
               formInput("spectrum-samples", "samples", m.light, "samples"));
  root.append(formGroup("light", "Light", ...light));

  const s = m.source;
  const source = [formSelect("source", "Kind", s, "kind",
                             [["", "plane wave (default)"], ["plane_wave", "plane wave"],
                              ["coherent", "coherent strip"], ["incoherent", "incoherent strip"]],
                             starting(s, { coherent: { width: "1", samples: "15" },
                                           incoherent: { width: "1", samples: "15" } }))];
  if (s.kind === "coherent" || s.kind === "incoherent") {
    s.width ??= "";
    s.samples ??= "";
    source.push(formInput("source-width", "width [mm]", s, "width"),
                formInput("source-samples", "samples", s, "samples"));
  }
  if (s.kind === "incoherent") {
    s.profile ||= "uniform";
    source.push(formSelect("profile", "profile", s, "profile",
                           [["uniform", "uniform"], ["gaussian", "gaussian"]],
                           (id) => { if (s.profile === "gaussian") s.sigma ||= "0.25"; redraw(id); }));
    if (s.profile === "gaussian") source.push(formInput("sigma", "σ [mm]", s, "sigma"));
    source.push(formSelect("weighs", "weight on", s, "weighs",
                           [["", "intensity (default)"], ["intensity", "intensity"],
                            ["amplitude", "amplitude"]]));
  }
  root.append(formGroup("source", "Source", ...source));

  m.planes.forEach((plane, p) => {
    const k = p + 1;
    const rows = [formInput(`plane-${k}-distance`, "distance [mm]", plane, "distance",
                            "behind the previous plane (the first: behind the source)"),
                  formButton(`plane-${k}-remove`, "Remove plane", () => {
                    m.planes.splice(p, 1);
                    drawSetupForm(m.planes.length ? `setup-plane-${Math.min(k, m.planes.length)}-distance`
                                                  : "setup-add-plane");
                  }, `remove plane ${k}`)];
    plane.openings.forEach((o, j) => {
      const id = `plane-${k}-opening-${j + 1}`;
      const line = formElement("div", { className: "form-line" });
      if (o.kind === "opening")
        line.append(formInput(`${id}-from`, "from [mm]", o, "from"), formInput(`${id}-to`, "to [mm]", o, "to"),
                    formInput(`${id}-samples`, "samples", o, "samples"));
      else
        line.append(formInput(`${id}-count`, "slits", o, "count"),
                    formInput(`${id}-width`, "width [mm]", o, "width"),
                    formInput(`${id}-period`, "period [mm]", o, "period", "centre to centre"),
                    formInput(`${id}-samples`, "samples", o, "samples"));
      line.append(formButton(`${id}-remove`, "Remove", () => {
        plane.openings.splice(j, 1);
        drawSetupForm(`setup-plane-${k}-add-opening`);
      }, `remove ${o.kind === "opening" ? "opening" : "grating"} ${j + 1} of plane ${k}`));
      rows.push(formGroup(id, o.kind === "opening" ? `Opening ${j + 1}` : `Grating ${j + 1}`, line));
    });
    const add = (kind, fresh) => () => {
      plane.openings.push(fresh);
      drawSetupForm(`setup-plane-${k}-opening-${plane.openings.length}-${kind}`);
    };
    rows.push(formButton(`plane-${k}-add-opening`, "Add opening",
                         add("from", { kind: "opening", from: "-0.05", to: "0.05", samples: "40" }),
                         `add an opening to plane ${k}`),
              formButton(`plane-${k}-add-slits`, "Add grating",
                         add("count", { kind: "slits", count: "3", width: "0.05", period: "0.25", samples: "20" }),
                         `add a grating to plane ${k}`));
    root.append(formGroup(`plane-${k}`, `Plane ${k}`, ...rows));
  });
  root.append(formButton("add-plane", "Add plane", () => {
    m.planes.push({ distance: "100", openings: [] });
    if (Object.values(m.screen).every((w) => w === ""))
      Object.assign(m.screen, { distance: "500", from: "-3", to: "3", count: "301" });
    drawSetupForm(`setup-plane-${m.planes.length}-distance`);
  }));

  const c = (m.screen ??= { distance: "", from: "", to: "", count: "" });
  root.append(formGroup("screen", "Screen",
                        formInput("screen-distance", "distance [mm]", c, "distance", "behind the last plane"),
                        formInput("screen-from", "from [mm]", c, "from"),
                        formInput("screen-to", "to [mm]", c, "to", "never reached"),
                        formInput("screen-count", "points", c, "count"),
                        formSelect("quantity", "quantity", m, "quantity",
                                   [["", "intensity (default)"], ["intensity", "intensity"],
                                    ["relative", "relative to the axis"], ["amplitude", "amplitude"]])));
  if (focus) $(focus)?.focus();
}

// The engine's refusal of a line, shown on the fields of the form that hold
// it too (a plane's own fields, not its openings').
function markSetupRefusal(line, noteId) {
  const owner = parseSetup($("field-setup").value).owners?.get(line);
  const group = owner && !setupForm.root.hidden && $(`setup-group-${owner}`);
  if (!group) return;
  for (const control of group.querySelectorAll(":scope > .form-field > *, :scope > .form-line > .form-field > *")) {
    control.setAttribute("aria-invalid", "true");
    control.setAttribute("aria-describedby", noteId);
  }
}

// The form for the text in the field, or the note why the text is the editor.
function showSetupForm() {
  const parsed = parseSetup($("field-setup").value);
  setupForm.root.hidden = !parsed.model;
  setupForm.note.hidden = Boolean(parsed.model);
  if (!parsed.model) {
    setupForm.note.textContent = `The form cannot show this setup (${parsed.why}): edit its text below.`;
    return;
  }
  setupForm.model = parsed.model;
  drawSetupForm(null);
}

function buildSetupForm(row) {
  setupForm.root = formElement("div", { id: "setup-form" });
  setupForm.root.setAttribute("role", "group");
  setupForm.root.setAttribute("aria-label", "Setup form");
  setupForm.note = formElement("p", { id: "setup-form-note", hidden: true });
  row.prepend(setupForm.root, setupForm.note);
  $("field-setup").addEventListener("input", showSetupForm);
  showSetupForm();
}
