// fuse.js on small modules made here: the early f64x2.fma's bytes inside a
// v128.const and an i32.const stay, the instruction alone is a site; an
// early relaxed-SIMD opcode beside it, and a module without one, are
// refused.
"use strict";
const { spawnSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const fma = [0xfd, 0xcf, 0x01];
const constant = [0xfd, 0x0c, ...fma, ...Array(13).fill(0)];  // v128.const holding the bytes
const section = (id, bytes) => [id, bytes.length, ...bytes];
const moduleOf = (body) => {
  const code = [0x00, ...body, 0x0b];  // no locals
  return Buffer.from([0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00,
                      ...section(1, [0x01, 0x60, 0x00, 0x01, 0x7b]),  // () -> v128
                      ...section(3, [0x01, 0x00]),
                      ...section(10, [0x01, code.length, ...code])]);
};
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "fuse-"));
const fuse = (wasm) => {
  const glue = path.join(scratch, "glue.js"), out = path.join(scratch, "engine.js");
  fs.writeFileSync(glue, `var wasmBinaryFile;\nwasmBinaryFile = 'data:application/octet-stream;base64,${
    wasm.toString("base64")}';\n`);
  const run = spawnSync(process.execPath, [path.join(__dirname, "fuse.js"), glue, out], { encoding: "utf8" });
  if (run.status !== 0) return { refusal: run.stderr };
  const text = fs.readFileSync(out, "utf8");
  return { text, wasm: Buffer.from(/var slitsModule = "([^"]*)"/.exec(text)[1], "base64"),
           sites: JSON.parse(/var slitsMaddSites = (\[[^\]]*\])/.exec(text)[1]) };
};

const failures = [];
const expect = (what, ok) => ok || failures.push(what);

// i32.const whose LEB128 is fd cf 01, dropped; three vectors; the fma.
const body = [0x41, ...fma, 0x1a, ...constant, ...constant, ...constant, ...fma];
const wasm = moduleOf(body);
const site = wasm.length - 4;  // before the body's end
const fused = fuse(wasm);
expect(`one site at ${site}: ${fused.refusal || fused.sites}`, fused.sites && fused.sites.join() === `${site}`);
if (fused.wasm) {
  const expected = Buffer.from(wasm);
  expected.set([0xfd, 0xd2, 0x00], site);
  expect("only the site rewritten, as a v128.bitselect", fused.wasm.equals(expected));
  expect("the module inlined through slitsModule", fused.text.includes("base64,' + slitsModule"));
}
// An early relaxed i64x2.laneselect in place of the fma, and no fma at all.
const laneselect = fuse(moduleOf([...body.slice(0, -3), 0xfd, 0xd3, 0x01]));
expect(`laneselect refused: ${laneselect.refusal}`, /SIMD opcode 0xd3/.test(laneselect.refusal));
const none = fuse(moduleOf([...constant]));
expect(`no fma refused: ${none.refusal}`, /no fused multiply-add/.test(none.refusal));

fs.rmSync(scratch, { recursive: true });
if (failures.length) {
  console.log(failures.join("\n"));
  process.exit(1);
}
