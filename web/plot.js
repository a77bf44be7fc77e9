// The plot, drawn by hand as SVG text: the curve, its mirror image for
// x < 0 in grey (the programs compute x >= 0 only), axes and, below, a strip
// of the light on the screen in its colour where it is visible, else in
// grey levels (gamma 2.2, as the gallery's plots). One drawing serves the page, the SVG download and the PNG.
"use strict";

const plotSize = { width: 900, height: 540, left: 78, right: 24, top: 58, height1: 340, gap: 16, strip: 42,
                   residual: 110 };

// The lower panel: a measured profile's residuals, else the compared
// model's relative difference; or null.
function lowerPanel(p) {
  if (p.overlay) return { x: p.overlay.residualX, y: p.overlay.residual,
                          label: "residual: measured − computed" };
  if (p.compare && p.compare.residual.length) {
    // Near the first curve's zeros the ratio runs away: the scale is the
    // 98th percentile of its size, the rest clipped.
    const size = Array.from(p.compare.residual, Math.abs).sort((a, b) => a - b);
    const span = size[Math.floor(0.98 * (size.length - 1))];
    return { x: p.compare.residualX, y: p.compare.residual, label: p.compare.residualLabel,
             span: span > 0 ? span : null };
  }
  return null;
}

// The drawing's height: taller by the lower panel.
function plotHeight(p) {
  return plotSize.height + (lowerPanel(p) ? plotSize.residual + 40 : 0);
}

function escapeXML(text) {
  return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
}

// Tick values across [lo, hi], about `count` of them at 1, 2 or 5 times a
// power of ten.
function niceTicks(lo, hi, count) {
  const raw = (hi - lo) / count;
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw);
  const ticks = [];
  for (let v = Math.ceil(lo / step) * step; v <= hi + step * 1e-9; v += step)
    ticks.push(Math.abs(v) < step * 1e-9 ? 0 : v);
  return ticks;
}

function tickText(v) {
  return String(Number(v.toPrecision(6)));
}

// The least and greatest finite values that `keep` accepts, by a plain
// loop: spread into Math.min, an array becomes as many arguments, and V8
// refuses more than about 125000 of them.
function extent(values, keep = () => true) {
  let least = Infinity, most = -Infinity;
  for (const v of values) {
    if (!Number.isFinite(v) || !keep(v)) continue;
    if (v < least) least = v;
    if (v > most) most = v;
  }
  return { least, most };
}

// Which points the polyline needs: all of them while there are few, else
// in each column of the width the first, least, greatest and last, in
// order, which ink the same pixels as every point of the column would.
function drawnPoints(x, value, column, columns) {
  const n = x.length;
  if (n <= 4 * columns) return null;
  const kept = [];
  for (let start = 0, end; start < n; start = end) {
    const c = column(x[start]);
    let least = start, most = start;
    for (end = start + 1; end < n && column(x[end]) === c; end++) {
      if (value[end] < value[least]) least = end;
      if (value[end] > value[most]) most = end;
    }
    for (const i of [start, Math.min(least, most), Math.max(least, most), end - 1])
      if (i !== kept[kept.length - 1]) kept.push(i);
  }
  return kept;
}

// The strip as a PNG data address: one pixel per screen point, the mirror
// half first when there is one; with more points than a canvas may be
// wide, each pixel is the mean of the light on its part of the screen.
// colour: null (grey levels, gamma 2.2), { tint } (monochromatic light: the
// linear sRGB hue times the intensity) or { rgb } (linear sRGB per point,
// three numbers each, the strip's light itself).
const stripPixels = 8192;  // per half
function stripImage(light, mirror, colour) {
  const n = light.length;
  const pixels = Math.min(n, stripPixels);
  const channels = colour && colour.rgb ? 3 : 1;
  const mean = new Float64Array(channels * pixels);
  for (let k = 0; k < pixels; k++) {
    const from = Math.floor((k * n) / pixels), to = Math.floor(((k + 1) * n) / pixels);
    for (let c = 0; c < channels; c++) {
      let sum = 0;
      for (let i = from; i < to; i++) sum += channels === 3 ? colour.rgb[3 * i + c] : light[i];
      mean[channels * k + c] = sum / (to - from);
    }
  }
  const canvas = document.createElement("canvas");
  canvas.width = mirror ? 2 * pixels : pixels;
  canvas.height = 1;
  const context = canvas.getContext("2d");
  const image = context.createImageData(canvas.width, 1);
  const top = channels === 3 ? 1 : Math.max(extent(mean).most, 0) || 1;
  const pixel = (k) => {
    if (channels === 3) return [0, 1, 2].map((c) => encodeSRGB(mean[3 * k + c]));
    const v = Math.max(mean[k], 0) / top;
    if (colour && colour.tint) return colour.tint.map((c) => encodeSRGB(c * v));
    const grey = Math.round(255 * Math.pow(v, 1 / 2.2));
    return [grey, grey, grey];
  };
  for (let k = 0; k < pixels; k++) {
    const rgba = [...pixel(k), 255];
    if (mirror) image.data.set(rgba, 4 * (pixels - 1 - k));
    image.data.set(rgba, 4 * (mirror ? pixels + k : k));
  }
  context.putImageData(image, 0, 0);
  return canvas.toDataURL("image/png");
}

// p: x, value (arrays), mirror (draw x < 0), xMax (end of the screen span),
// log (vertical axis), yLabel, light (the strip's intensities, or null),
// colour and stripNote (the strip's colour, see stripImage, and what it
// shows), title (lines), xLabel, overlay (a measured profile: x, y, residualX,
// residual, label; or none), compare (a second model's curve: x, value,
// label, and its relative difference residualX, residual, residualLabel; or
// none).
function plotSVG(p) {
  const s = plotSize;
  const plotW = s.width - s.left - s.right;
  const xs = extent(p.x);
  const x0 = p.mirror ? -p.xMax : xs.least;
  const x1 = p.mirror ? p.xMax : Math.max(p.xMax, xs.most);
  const shown = p.compare ? [...p.value, ...p.compare.value] : p.value;
  const top = Math.max(extent(shown).most, 0);
  let y0, y1;
  if (p.log) {
    const positive = extent(shown, (v) => v > 0).least;
    const least = positive < Infinity ? positive : 1e-12;
    y1 = Math.pow(10, Math.ceil(Math.log10(top > 0 ? top : 1)));
    y0 = Math.max(Math.pow(10, Math.floor(Math.log10(least))), y1 * 1e-15);
  } else {
    y0 = 0;
    const ticks = niceTicks(0, top > 0 ? top : 1, 8);
    y1 = Math.max(ticks[ticks.length - 1], (top > 0 ? top : 1) * 1.05);
  }
  const sx = (x) => s.left + ((x - x0) / (x1 - x0)) * plotW;
  const sy = (y) => {
    const f = p.log ? (Math.log10(Math.max(y, y0)) - Math.log10(y0)) / (Math.log10(y1) - Math.log10(y0))
                    : (y - y0) / (y1 - y0);
    return s.top + s.height1 * (1 - f);
  };
  const out = [];
  out.push(`<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${s.width} @HEIGHT@" ` +
           `width="${s.width}" height="@HEIGHT@" font-family="sans-serif" font-size="13">`);
  out.push(`<rect width="${s.width}" height="@HEIGHT@" fill="white"/>`);
  p.title.forEach((line, i) =>
    out.push(`<text x="${s.width / 2}" y="${20 + 17 * i}" text-anchor="middle">${escapeXML(line)}</text>`));
  const right = s.left + plotW, bottom = s.top + s.height1;
  out.push(`<clipPath id="area"><rect x="${s.left}" y="${s.top}" width="${plotW}" height="${s.height1}"/></clipPath>`);
  // Vertical ticks and grid.
  const yTicks = p.log
    ? Array.from({ length: Math.round(Math.log10(y1 / y0)) + 1 }, (_, k) => y0 * Math.pow(10, k))
    : niceTicks(y0, y1, 8);
  for (const v of yTicks) {
    const y = sy(v).toFixed(1);
    out.push(`<line x1="${s.left}" y1="${y}" x2="${right}" y2="${y}" stroke="#e4e4e4"/>`);
    out.push(`<text x="${s.left - 6}" y="${y}" dy="4" text-anchor="end">${tickText(v)}</text>`);
  }
  const xTicks = niceTicks(x0, x1, 10);
  for (const v of xTicks) {
    const x = sx(v).toFixed(1);
    out.push(`<line x1="${x}" y1="${bottom}" x2="${x}" y2="${bottom + 5}" stroke="black"/>`);
  }
  // Half-pixel columns: the PNG is drawn at twice the size.
  const kept = drawnPoints(p.x, p.value, (x) => Math.floor(2 * sx(x)), 2 * plotW);
  const path = (sign, x = p.x, value = p.value) => {
    const chosen = x === p.x ? kept : drawnPoints(x, value, (u) => Math.floor(2 * sx(u)), 2 * plotW);
    const point = (i) => `${sx(sign * x[i]).toFixed(2)},${sy(value[i]).toFixed(2)}`;
    return (chosen ? chosen.map(point) : x.map((_, i) => point(i))).join(" ");
  };
  out.push(`<g clip-path="url(#area)" fill="none" stroke-linejoin="round">`);
  if (p.mirror) out.push(`<polyline points="${path(-1)}" stroke="#a8a8a8" stroke-width="1.2"/>`);
  out.push(`<polyline points="${path(1)}" stroke="#1f4e9c" stroke-width="1.5"/>`);
  const c = p.compare;
  if (c) out.push(`<polyline class="compare" points="${path(1, c.x, c.value)}" stroke="#2a9d3f" ` +
                  `stroke-width="1.3" stroke-dasharray="6 3"/>`);
  const o = p.overlay;
  const points = (xs, ys, y) => xs.map((u, i) => `${sx(u).toFixed(2)},${y(ys[i]).toFixed(2)}`).join(" ");
  if (o) out.push(`<polyline class="measured" points="${points(o.x, o.y, sy)}" stroke="#d95f02" ` +
                  `stroke-width="1.2" stroke-dasharray="4 2"/>`);
  out.push("</g>");
  out.push(`<rect x="${s.left}" y="${s.top}" width="${plotW}" height="${s.height1}" fill="none" stroke="black"/>`);
  if (p.mirror)
    out.push(`<text x="${s.left + 10}" y="${s.top + 18}" fill="#909090">x &lt; 0: mirror image</text>`);
  out.push(`<text transform="translate(18 ${s.top + s.height1 / 2}) rotate(-90)" text-anchor="middle">` +
           `${escapeXML(p.yLabel)}</text>`);
  let axisY = bottom;
  if (p.light) {
    const stripTop = bottom + s.gap;
    out.push(`<image x="${s.left}" y="${stripTop}" width="${plotW}" height="${s.strip}" ` +
             `preserveAspectRatio="none" href="${stripImage(p.light, p.mirror, p.colour)}"/>`);
    out.push(`<rect x="${s.left}" y="${stripTop}" width="${plotW}" height="${s.strip}" fill="none" stroke="black"/>`);
    axisY = stripTop + s.strip;
  }
  for (const v of xTicks) {
    const x = sx(v).toFixed(1);
    out.push(`<line x1="${x}" y1="${axisY}" x2="${x}" y2="${axisY + 5}" stroke="black"/>`);
    out.push(`<text x="${x}" y="${axisY + 19}" text-anchor="middle">${tickText(v)}</text>`);
  }
  out.push(`<text x="${s.left + plotW / 2}" y="${axisY + 38}" text-anchor="middle">` +
           `${escapeXML(p.xLabel)}</text>`);
  if (p.light && p.stripNote)
    out.push(`<text x="${right}" y="${axisY + 54}" text-anchor="end" fill="#606060" font-size="11">` +
             `${escapeXML(p.stripNote)}</text>`);
  if (c)
    out.push(`<text x="${right}" y="${s.top + (o ? 36 : 18)}" text-anchor="end" fill="#2a9d3f">` +
             `${escapeXML(c.label)}</text>`);
  if (o)
    out.push(`<text x="${right}" y="${s.top + 18}" text-anchor="end" fill="#d95f02">` +
             `${escapeXML(o.label)}</text>`);
  const panel = lowerPanel(p);
  if (panel) {
    // The residuals on their own scale, below, with the same screen axis.
    const top = axisY + 66, h = s.residual;
    const r = extent(panel.y);
    const span = panel.span ?? (Math.max(Math.abs(r.least), Math.abs(r.most)) || 1);
    const ry = (v) => top + (h * (1 - v / span)) / 2;
    out.push(`<rect x="${s.left}" y="${top}" width="${plotW}" height="${h}" fill="none" stroke="black"/>`);
    out.push(`<line x1="${s.left}" y1="${ry(0)}" x2="${right}" y2="${ry(0)}" stroke="#a8a8a8"/>`);
    for (const v of [-span, span])
      out.push(`<text x="${s.left - 6}" y="${ry(v).toFixed(1)}" dy="4" text-anchor="end">` +
               `${tickText(Number(v.toPrecision(3)))}</text>`);
    out.push(`<text x="${s.left + 10}" y="${top + 16}">${escapeXML(panel.label)}</text>`);
    out.push(`<clipPath id="panel"><rect x="${s.left}" y="${top}" width="${plotW}" height="${h}"/></clipPath>`);
    out.push(`<polyline class="residual" points="${points(panel.x, panel.y, ry)}" clip-path="url(#panel)" ` +
             `fill="none" stroke="${o ? "#d95f02" : "#2a9d3f"}" stroke-width="1.2"/>`);
  }
  out.push("</svg>");
  return out.join("\n").replace("@HEIGHT@", String(plotHeight(p)));
}
