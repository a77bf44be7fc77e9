// The measured profile's reading and scaling, in Node: each malformed file
// refused by its line, and each normalisation against its closed form on a
// profile that is the pattern itself, scaled and shifted.
//   node overlay_test.js
"use strict";
const fs = require("fs");
const vm = require("vm");
const assert = require("assert");
const context = vm.createContext({});
for (const file of ["plot.js", "overlay.js"])
  vm.runInContext(fs.readFileSync(`${__dirname}/${file}`, "utf8"), context);
const { parseMeasured, fitMeasured } = context;

const refusals = [
  ["x y\n1 2\nthree 4\n", "line 3: 'three' is not a number"],
  ["1 2\nx y\n", "line 2: 'x' is not a number"],  // a header only before the points
  ["a,b\r\n0,1\r\n1,2,3\r\n", "line 3: 3 fields, where the lines before have 2"],
  ["# only a comment\n\n", "no points: the file holds no line of numbers"],
  ["0 1\n5\n", "line 2: one field, where a position and a value were expected"],
  ["0 1\n1 1e999\n", "line 2: a value beyond the range of a double"],
  ["0 1\n1 0x10\n", "line 2: '0x10' is not a number"],
];
for (const [text, error] of refusals) assert.strictEqual(parseMeasured(text).error, error, text);

// Comments, blank lines, CR LF, any separator; points sorted by position.
const read = parseMeasured("% scan\r\nposition;value\r\n\r\n2;4 # late\r\n-1\t.5\r\n0, 1e0\r\n");
assert.deepStrictEqual([read.x, read.y].map((a) => Array.from(a)), [[-1, 0, 2], [0.5, 1, 4]]);

// A pattern f(x) = 1 + x on [0, 4] in steps of 1/4, mirrored; the profile
// 3 f(x - 1/2) read at x = u + 1/2, shifted back by an offset of -1/2.
const pattern = { x: [], value: [], mirror: true };
for (let i = 0; i <= 16; i++) pattern.x.push(i / 4), pattern.value.push(1 + i / 4);
const u = [-1.5, -0.5, 0, 0.75, 2, 3.5, 5];  // 5: beyond the computed span
const measured = { x: u.map((v) => v + 0.5), y: u.map((v) => 3 * (1 + Math.abs(v))) };
const inside = u.filter((v) => v <= 4);
for (const [normalisation, scale] of [["none", 1], ["peak", 5 / 18], ["least-squares", 1 / 3],
                                      ["area", 1 / 3]]) {
  const fit = fitMeasured(measured, pattern, normalisation, -0.5);
  assert.ok(Math.abs(fit.scale - scale) < 1e-15, `${normalisation}: ${fit.scale}`);
  assert.deepStrictEqual(Array.from(fit.residualX), inside);
  if (normalisation === "least-squares" || normalisation === "area")
    fit.residual.forEach((r) => assert.ok(Math.abs(r) < 1e-14, `${normalisation} residual ${r}`));
}
console.log(`${refusals.length} refusals, 4 normalisations: as expected`);
