// The colour of the light on the screen. The CIE 1931 2° standard
// colorimetric observer, x̄, ȳ, z̄ from 380 nm to 780 nm in steps of 5 nm
// (CIE 15.2-1986 Colorimetry, Table 2.1; the same rows in CIE 015:2004 and
// in the CIE's data set DOI 10.25039/CIE.DS.xvudnb9b), linear between rows
// and zero outside; tristimulus values to linear sRGB by the matrix of
// IEC 61966-2-1:1999 (D65 white), then its transfer curve. Spectral colours
// lie outside the sRGB gamut: a negative component is lifted by adding
// white (equal parts of r, g and b), which keeps the hue and desaturates
// it, as a display must.
"use strict";

const cieX = [
  0.001368, 0.002236, 0.004243, 0.00765, 0.01431, 0.02319, 0.04351, 0.07763, 0.13438, 0.21477,
  0.2839, 0.3285, 0.34828, 0.34806, 0.3362, 0.3187, 0.2908, 0.2511, 0.19536, 0.1421, 0.09564,
  0.05801, 0.03201, 0.0147, 0.0049, 0.0024, 0.0093, 0.0291, 0.06327, 0.1096, 0.1655, 0.22575,
  0.2904, 0.3597, 0.43345, 0.51205, 0.5945, 0.6784, 0.7621, 0.8425, 0.9163, 0.9786, 1.0263, 1.0567,
  1.0622, 1.0456, 1.0026, 0.9384, 0.85445, 0.7514, 0.6424, 0.5419, 0.4479, 0.3608, 0.2835, 0.2187,
  0.1649, 0.1212, 0.0874, 0.0636, 0.04677, 0.0329, 0.0227, 0.01584, 0.011359, 0.008111, 0.00579,
  0.004109, 0.002899, 0.002049, 0.00144, 0.001, 0.00069, 0.000476, 0.000332, 0.000235, 0.000166,
  0.000117, 8.3e-05, 5.9e-05, 4.2e-05];
const cieY = [
  3.9e-05, 6.4e-05, 0.00012, 0.000217, 0.000396, 0.00064, 0.00121, 0.00218, 0.004, 0.0073, 0.0116,
  0.01684, 0.023, 0.0298, 0.038, 0.048, 0.06, 0.0739, 0.09098, 0.1126, 0.13902, 0.1693, 0.20802,
  0.2586, 0.323, 0.4073, 0.503, 0.6082, 0.71, 0.7932, 0.862, 0.91485, 0.954, 0.9803, 0.99495, 1,
  0.995, 0.9786, 0.952, 0.9154, 0.87, 0.8163, 0.757, 0.6949, 0.631, 0.5668, 0.503, 0.4412, 0.381,
  0.321, 0.265, 0.217, 0.175, 0.1382, 0.107, 0.0816, 0.061, 0.04458, 0.032, 0.0232, 0.017, 0.01192,
  0.00821, 0.005723, 0.004102, 0.002929, 0.002091, 0.001484, 0.001047, 0.00074, 0.00052, 0.000361,
  0.000249, 0.000172, 0.00012, 8.5e-05, 6e-05, 4.2e-05, 3e-05, 2.1e-05, 1.5e-05];
const cieZ = [
  0.00645, 0.01055, 0.02005, 0.03621, 0.06785, 0.1102, 0.2074, 0.3713, 0.6456, 1.03905, 1.3856,
  1.62296, 1.74706, 1.7826, 1.77211, 1.7441, 1.6692, 1.5281, 1.28764, 1.0419, 0.81295, 0.6162,
  0.46518, 0.3533, 0.272, 0.2123, 0.1582, 0.1117, 0.07825, 0.05725, 0.04216, 0.02984, 0.0203,
  0.0134, 0.00875, 0.00575, 0.0039, 0.00275, 0.0021, 0.0018, 0.00165, 0.0014, 0.0011, 0.001,
  0.0008, 0.0006, 0.00034, 0.00024, 0.00019, 0.0001, 5e-05, 3e-05, 2e-05, 1e-05, 0, 0, 0, 0, 0, 0,
  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0];

// [X, Y, Z] of unit power at wavelength nm.
function cieXYZ(nm) {
  const at = (nm - 380) / 5;
  if (!(at >= 0 && at <= 80)) return [0, 0, 0];
  const k = Math.min(Math.floor(at), 79), t = at - k;
  return [cieX, cieY, cieZ].map((f) => f[k] + t * (f[k + 1] - f[k]));
}

function linearSRGB([X, Y, Z]) {
  return [3.2406 * X - 1.5372 * Y - 0.4986 * Z,
          -0.9689 * X + 1.8758 * Y + 0.0415 * Z,
          0.0557 * X - 0.204 * Y + 1.057 * Z];
}

// Negative components lifted by white; see above.
function inGamut(rgb) {
  const least = Math.min(...rgb);
  return least < 0 ? rgb.map((c) => c - least) : rgb;
}

// The sRGB transfer curve: a linear component in [0, 1] to 0..255.
function encodeSRGB(c) {
  const v = Math.min(Math.max(c, 0), 1);
  return Math.round(255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * Math.pow(v, 1 / 2.4) - 0.055));
}

// The hue of monochromatic light of wavelength nm, linear, its largest
// component 1; null where the eye sees none (outside 380 to 780 nm).
function wavelengthTint(nm) {
  const rgb = inGamut(linearSRGB(cieXYZ(nm)));
  const top = Math.max(...rgb);
  return top > 0 ? rgb.map((c) => c / top) : null;
}

// The colour of a spectrum's pattern: lines of { nm, weight, intensity }
// (one intensity per screen point, every line on the same points), each
// line's light added as tristimulus values. Linear sRGB per point, three
// numbers each, scaled so that the brightest component is 1; null when
// nothing visible reaches the screen.
function spectrumColours(lines) {
  const n = lines.length ? lines[0].intensity.length : 0;
  const rgb = new Float64Array(3 * n);
  const xyz = lines.map((line) => cieXYZ(line.nm).map((c) => c * line.weight));
  let top = 0;
  for (let i = 0; i < n; i++) {
    const sum = [0, 0, 0];
    lines.forEach((line, k) => {
      for (let c = 0; c < 3; c++) sum[c] += xyz[k][c] * line.intensity[i];
    });
    const point = inGamut(linearSRGB(sum));
    for (let c = 0; c < 3; c++) {
      rgb[3 * i + c] = point[c];
      top = Math.max(top, point[c]);
    }
  }
  return top > 0 ? rgb.map((c) => c / top) : null;
}
