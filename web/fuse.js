// node fuse.js ENGINE OUTPUT
// The engine as the page ships it. The compiler writes the kernel's fused
// multiply-adds (vector_wasm_fused.cpp) as relaxed SIMD's early f64x2.fma,
// 0xfd 0xcf 0x01, which browsers refuse; the standard f64x2.relaxed_madd is
// 0xfd 0x87 0x02, as long. The code section is walked instruction by
// instruction (a byte search could match an immediate or a constant), and
// each such instruction becomes a v128.bitselect (0xfd 0xd2 0x00, its opcode
// padded to the same length), which every browser with SIMD128 validates
// and which fails the kernel's check that the multiply-add is fused. The
// page turns the sites listed into relaxed_madd where the browser
// validates that module (fused.js).
"use strict";
const fs = require("fs");

const [engineFile, output] = process.argv.slice(2);
const glue = fs.readFileSync(engineFile, "utf8");
const prefix = "'data:application/octet-stream;base64,";
const start = glue.indexOf(`${prefix}AGFzbQ`);  // "\0asm", a module's first bytes
if (start < 0 || glue.indexOf(`${prefix}AGFzbQ`, start + 1) >= 0) throw new Error("expected one inlined module");
const end = glue.indexOf("'", start + prefix.length);
const wasm = Buffer.from(glue.slice(start + prefix.length, end), "base64");

let at = 0;
const fail = (what) => { throw new Error(`${what} at byte ${at}`); };
const byte = () => (at < wasm.length ? wasm[at++] : fail("end of module"));
const unsigned = () => {
  let value = 0, shift = 0, b;
  do {
    b = byte();
    value += (b & 0x7f) * 2 ** shift;
    shift += 7;
  } while (b & 0x80);
  return value;
};
const signed = () => { while (byte() & 0x80); };  // skipped: only its length matters
const skip = (n) => { at += n; };
const memarg = () => { unsigned(); unsigned(); };
const blockType = () => {
  const b = wasm[at];
  if (b === 0x40 || (b >= 0x6f && b <= 0x7f)) at++;
  else signed();
};

// Opcodes of SIMD128 with immediates; every other one has none, apart from
// relaxed SIMD's early opcodes, which must not appear beside f64x2.fma.
const earlyRelaxed = new Set([0xa2, 0xa5, 0xa6, 0xaf, 0xb0, 0xb2, 0xb3, 0xb4, 0xc5, 0xc6, 0xd0,
                              0xd2, 0xd3, 0xd4, 0xe2, 0xee]);
const earlyFma = 0xcf;
function simd(sites, opcodeAt) {
  const op = unsigned();
  if (op <= 0x0b || op === 0x5c || op === 0x5d) return memarg();  // loads, store
  if (op === 0x0c || op === 0x0d) return skip(16);  // v128.const, i8x16.shuffle
  if (op >= 0x15 && op <= 0x22) return skip(1);  // lane index
  if (op >= 0x54 && op <= 0x5b) { memarg(); return skip(1); }  // lane loads, stores
  if (op === earlyFma) {
    if (at - opcodeAt !== 3) fail("f64x2.fma not in three bytes");
    return sites.push(opcodeAt);
  }
  if (earlyRelaxed.has(op) || op > 0x113) fail(`SIMD opcode 0x${op.toString(16)}`);
}

function instruction(sites) {
  const opcodeAt = at;
  const op = byte();
  if (op === 0x02 || op === 0x03 || op === 0x04 || op === 0x06) return blockType();
  if (op === 0x07 || op === 0x08 || op === 0x09 || op === 0x18) return unsigned();  // tag, label
  if (op === 0x0c || op === 0x0d || op === 0x10 || op === 0x12 || op === 0xd2) return unsigned();
  if (op === 0x0e) {  // br_table
    for (let n = unsigned(); n >= 0; n--) unsigned();
    return;
  }
  if (op === 0x11 || op === 0x13) { unsigned(); return unsigned(); }  // type, table
  if (op === 0x1c) return skip(unsigned());  // select with its value types
  if (op >= 0x20 && op <= 0x26) return unsigned();  // locals, globals, tables
  if (op >= 0x28 && op <= 0x3e) return memarg();
  if (op === 0x3f || op === 0x40) return unsigned();
  if (op === 0x41 || op === 0x42) return signed();
  if (op === 0x43) return skip(4);
  if (op === 0x44) return skip(8);
  if (op === 0xd0) return skip(1);
  if (op === 0xfc) {
    const sub = unsigned();
    if (sub <= 7 || sub === 9 || sub === 11 || sub === 13 || (sub >= 15 && sub <= 17)) {
      if (sub > 7) unsigned();
      return;
    }
    if (sub === 8 || sub === 10 || sub === 12 || sub === 14) { unsigned(); return unsigned(); }
    fail(`0xfc ${sub}`);
  }
  if (op === 0xfd) return simd(sites, opcodeAt);
  if (op <= 0x01 || op === 0x05 || op === 0x0b || op === 0x0f || op === 0x19 || op === 0x1a ||
      op === 0x1b || (op >= 0x45 && op <= 0xc4) || op === 0xd1)
    return;
  fail(`opcode 0x${op.toString(16)}`);
}

// The sites of f64x2.fma, by their offset in the module.
function fmaSites() {
  const sites = [];
  if (wasm.readUInt32LE(0) !== 0x6d736100 || wasm.readUInt32LE(4) !== 1) fail("not a module");
  at = 8;
  while (at < wasm.length) {
    const id = byte(), size = unsigned(), next = at + size;
    if (id === 10) {
      for (let count = unsigned(); count > 0; count--) {
        const bodySize = unsigned(), bodyEnd = at + bodySize;
        for (let groups = unsigned(); groups > 0; groups--) { unsigned(); skip(1); }  // locals
        while (at < bodyEnd) instruction(sites);
        if (at !== bodyEnd || wasm[at - 1] !== 0x0b) fail("a function body ends out of step");
      }
      if (at !== next) fail("the code section ends out of step");
    }
    at = next;
  }
  return sites;
}

const sites = fmaSites();
if (sites.length === 0) throw new Error("no fused multiply-add found: the kernel's fused path is missing");
for (const s of sites) wasm.set([0xfd, 0xd2, 0x00], s);  // v128.bitselect
if (!WebAssembly.validate(wasm)) throw new Error("the module with v128.bitselect does not validate");
const engine = glue.slice(0, start) + `'data:application/octet-stream;base64,' + slitsModule` +
               glue.slice(end + 1);
fs.writeFileSync(output, `${engine}
// The module (fuse.js) and where its multiply-adds are.
var slitsModule = "${wasm.toString("base64")}";
var slitsMaddSites = [${sites.join(",")}];
`);
console.log(`${sites.length} fused multiply-adds in the kernel`);
