// A measured profile drawn over the pattern: read from a file the user opens
// or drops (it never leaves the page), scaled by a chosen normalisation,
// shifted along the screen, and its residuals against the pattern.
"use strict";

// The points of a two-column or comma-separated text: a header line before
// the first point, comments from "#" or "%" to the end of a line, and blank
// lines are allowed; fields are separated by commas, semicolons, tabs or
// spaces. Every point line has the same number of fields (at least two: the
// position in mm and the measured value), each a finite decimal number.
// Returns { x, y } or { error } naming the line.
function parseMeasured(text) {
  const x = [], y = [];
  let fields = 0, header = false;
  const lines = text.split(/\r\n|\r|\n/);
  const number = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;
  for (let k = 0; k < lines.length; k++) {
    const line = lines[k].replace(/[#%].*/, "").trim();
    if (line === "") continue;
    const parts = line.split(/\s*[,;\t]\s*|\s+/);
    const at = `line ${k + 1}`;
    if (!parts.every((p) => number.test(p))) {
      if (x.length === 0 && !header) {
        header = true;  // column names
        continue;
      }
      const bad = parts.find((p) => !number.test(p));
      return { error: `${at}: '${bad}' is not a number` };
    }
    if (parts.length < 2) return { error: `${at}: one field, where a position and a value were expected` };
    if (fields && parts.length !== fields)
      return { error: `${at}: ${parts.length} fields, where the lines before have ${fields}` };
    fields = parts.length;
    const [px, py] = parts.map(Number);
    if (!Number.isFinite(px) || !Number.isFinite(py))
      return { error: `${at}: a value beyond the range of a double` };
    x.push(px);
    y.push(py);
  }
  if (x.length === 0) return { error: "no points: the file holds no line of numbers" };
  const order = x.map((_, i) => i).sort((i, j) => x[i] - x[j]);  // drawn left to right
  return { x: order.map((i) => x[i]), y: order.map((i) => y[i]) };
}

// The pattern at u by linear interpolation between its computed points
// (increasing x), mirrored for u < 0 when the pattern is symmetric; null
// outside the computed span.
function patternAt(px, pv, mirror, u) {
  if (mirror) u = Math.abs(u);
  const n = px.length;
  if (n === 0 || u < px[0] || u > px[n - 1]) return null;
  let lo = 0, hi = n - 1;
  while (hi - lo > 1) {
    const mid = (lo + hi) >> 1;
    if (px[mid] <= u) lo = mid;
    else hi = mid;
  }
  if (u === px[hi]) return pv[hi];  // at a computed point, its value
  if (hi === lo || px[hi] === px[lo]) return pv[lo];
  const t = (u - px[lo]) / (px[hi] - px[lo]);
  return pv[lo] + t * (pv[hi] - pv[lo]);
}

// The measured points shifted by offset (mm) and scaled onto the pattern:
// "none" as read, "peak" the measured maximum onto the pattern's, "area"
// equal areas (trapezoids over the measured positions inside the computed
// span), "least-squares" the scale s minimising sum (s y - f)^2, that is
// s = sum y f / sum y^2. Residuals s y - f where the pattern is computed.
function fitMeasured(measured, pattern, normalisation, offset) {
  const x = measured.x.map((v) => v + offset);
  const f = x.map((u) => patternAt(pattern.x, pattern.value, pattern.mirror, u));
  const inside = [];
  f.forEach((v, i) => { if (v !== null) inside.push(i); });
  let scale = 1;
  if (normalisation === "peak") {
    const top = extent(measured.y).most, patternTop = extent(pattern.value).most;
    if (top > 0) scale = patternTop / top;
  } else if (normalisation === "area") {
    let measuredArea = 0, patternArea = 0;
    for (let k = 1; k < inside.length; k++) {
      const i = inside[k - 1], j = inside[k], dx = x[j] - x[i];
      measuredArea += (dx * (measured.y[i] + measured.y[j])) / 2;
      patternArea += (dx * (f[i] + f[j])) / 2;
    }
    if (measuredArea !== 0) scale = patternArea / measuredArea;
  } else if (normalisation === "least-squares") {
    let yf = 0, yy = 0;
    for (const i of inside) {
      yf += measured.y[i] * f[i];
      yy += measured.y[i] * measured.y[i];
    }
    if (yy > 0) scale = yf / yy;
  }
  const y = measured.y.map((v) => scale * v);
  const residualX = inside.map((i) => x[i]);
  const residual = inside.map((i) => y[i] - f[i]);
  return { x, y, scale, residualX, residual };
}
