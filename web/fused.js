// The engine's options for createSlits: the kernel's multiply-adds as
// relaxed SIMD's f64x2.relaxed_madd (slitsMaddSites, from fuse.js) where
// this browser validates the module so and fma=emulated is not asked for;
// else the module as shipped, where they are bitselects. Either way the
// kernel takes relaxed_madd only where its start-up check finds it fused,
// and otherwise emulates the fused multiply-add exactly: the same bits.
function slitsEngineOptions(emulated) {
  if (emulated) return {};
  const text = atob(slitsModule);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  for (const site of slitsMaddSites) bytes.set([0xfd, 0x87, 0x02], site);
  return WebAssembly.validate(bytes) ? { wasmBinary: bytes } : {};
}
