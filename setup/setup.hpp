// Any experiment as a source, planes of openings and a screen: the model, its
// file, the pattern programs' own experiments as such setups (presets), and
// the two ways of summing its paths, plane by plane (the engine) and one
// exponential per path (the literal reference).
//
// Every length shares the bench's unit (millimetres). A setup's numbers are
// binary64 as the compiler would read their text, and every sampled point
// is formed in the grouping written here, the programs' own: a preset
// summed by the engine gives the programs' bits.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bench.hpp"
#include "blocks.hpp"

// One opening of a plane from `from` to `to`; or a grating of `count` slits
// of `width`, centres `period` apart, centred on the axis. Each opening or
// slit has `samples` samples.
struct aperture {
  bool grating = false;
  double from = 0, to = 0;
  int count = 0;
  double width = 0, period = 0;
  int samples = 0;
  int line = 0;  // where the setup file gives it
};

// A plane of openings, `distance` behind the previous plane (the first:
// behind the source).
struct setup_plane {
  double distance = 0;
  std::vector<aperture> apertures;
  int line = 0;
};

enum class source_kind { plane_wave, coherent, incoherent };
enum class profile_kind { uniform, gaussian, table };

// A plane wave on the first plane; or a strip of `width` centred on the
// axis, sampled like an opening, whose samples add as amplitudes
// (coherent) or as intensities (incoherent, each with its weight).
struct source_strip {
  source_kind kind = source_kind::plane_wave;
  double width = 0;
  int samples = 0;
  profile_kind profile = profile_kind::uniform;
  double sigma = 0;        // gaussian: the normal density LED(d, sigma)
  std::string table_file;  // table: (position, weight) rows, interpolated
  std::vector<double> table_position, table_weight;
  bool weighs_amplitude = false;  // the weight multiplies the amplitude, else the intensity
  bool density = false;           // weight times the step, summed; else the mean over samples
  bool led_hops = false;          // the LED programs' two hops that meet at the first plane
  int line = 0;
};

// `count` points from `from` towards `to`, never reaching it; or positions
// from a file.
struct setup_screen {
  double distance = 0;
  double from = 0, to = 0;
  int count = 0;
  std::string file;
  std::vector<double> positions;
  int line = 0;
};

enum class setup_quantity { amplitude, intensity, relative };

enum class spectrum_kind { line, gaussian, table };

// The light's wavelengths: one, the bench's (line); or `samples` wavelengths
// at the midpoints of equal steps across centre +- 2 fwhm, weighted by the
// Gaussian in wavelength exp(-4 ln 2 ((lambda - centre) / fwhm)^2); or the
// (wavelength, weight) rows of a file, in its order.
struct setup_spectrum {
  spectrum_kind kind = spectrum_kind::line;
  double centre = 0, fwhm = 0;
  int samples = 0;
  std::string file;
  std::vector<double> wavelength, weight;  // table: its rows
  int line = 0;
};

// One wavelength of a spectrum and its share of the light.
struct spectral_line {
  double wavelength, weight;
};

struct setup {
  bench b;  // its wavelength, phase_model, sampling and method; derived
  source_strip source;
  std::vector<setup_plane> planes;
  setup_screen screen;
  setup_spectrum spectrum;
  setup_quantity quantity = setup_quantity::intensity;
  std::string origin;  // the file read, for refusals

  int screen_count() const;
  double screen_position(int i) const;  // beyond the screen for i >= screen_count()
};

// An empty setup over the default bench, to read a file into: method
// propagate, intensity, a plane wave.
setup empty_setup();

// The setup of a program's bench: what its --method propagate computes.
setup preset(const program_info& p, const bench& b);
std::string preset_text(const program_info& p, const bench& b);

// `pattern` with no setup file: duogap's preset of the default bench.
setup default_setup();

// Reads a setup file into `s` (from empty_setup()); returns the refusal,
// naming FILE:LINE, or empty. Table files are read relative to the
// setup file's folder.
std::string read_setup_file(const std::string& path, setup& s);
std::string read_setup_text(std::string_view text, const std::string& name,
                            const std::filesystem::path& folder, setup& s);

// A bench option given over a setup (assign's refusal, or empty):
// --wavelength replaces a spectrum by its one wavelength. derive() the
// bench afterwards.
std::string set_parameter(setup& s, const parameter_info& p, std::string_view text);

// What only the whole setup shows, once the bench options are applied: a
// strip all of whose samples weigh zero, tables above 1 GiB, a literal
// evaluation above literal_limit. Returns the refusal or empty.
std::string check_setup(const setup& s);

// The setup as setup-file lines; read back, it prints the same bytes.
std::string setup_text(const setup& s);

// The wavelengths whose intensities add, in the spectrum's order, each
// weight over the sum of the weights (taken in that order); lines of zero
// weight, which add nothing, left out. One wavelength: the bench's, weight 1.
std::vector<spectral_line> spectral_lines(const setup& s);

// The setup at one wavelength of its spectrum: its bench at `wavelength`,
// derived, and the spectrum that one line.
setup at_wavelength(const setup& s, double wavelength);

// Complex exponentials of the literal evaluation, and the most allowed.
double literal_exponentials(const setup& s);
inline constexpr double literal_limit = 1e9;

// Bytes of the fields and tables a run keeps.
double setup_table_bytes(const setup& s);

// The value at each point of a block, by the setup's method: the amplitude
// or the intensity; for the quantity relative the intensity, which the
// caller divides by its value on the axis.
// A spectrum's loop makes each wavelength's fields on up to `threads`
// threads (0: one per core) and keeps them all: compute_setup, which
// takes one wavelength at a time, gives the same bits in less memory.
block_loop setup_loop(const setup& s, int threads = 1);
block_loop engine_loop(const setup& s, int threads = 1);   // plane by plane
block_loop literal_loop(const setup& s, int threads = 1);  // one exponential per path

// The loop of a spectrum: each wavelength's values by one_wavelength,
// times its weight, added in the spectrum's order.
block_loop spectral_loop(const setup& s, int threads,
                         block_loop (*one_wavelength)(const setup&, int));

// |gamma12|, the modulus of the complex degree of coherence between the
// points x1 and x2 of plane `plane` (1 for the first; the field arriving
// from the planes before it, ahead of its openings) or of the screen
// (plane 0), for an incoherent source: with U_d the amplitude from strip
// sample d and w_d its weight in intensity (1 where the weight multiplies
// the amplitude, which U_d then carries, so it enters squared),
//   gamma12 = J12 / sqrt(J11 J22),  Jab = sum_lambda w_lambda sum_d w_d U_d(xa) conj(U_d(xb)),
// each sum in the spectrum's and the strip's order, U_d plane by plane
// through the engine whatever the method. Throws std::invalid_argument
// with coherence_refusal's message; NaN where no light reaches x1 or x2.
double coherence_degree(const setup& s, double x1, double x2, int plane);

// Why the degree of coherence on `plane` cannot be formed (a source that
// is not an incoherent strip, a plane the setup lacks), or empty.
std::string coherence_refusal(const setup& s, int plane);

// The pattern point by point in increasing i, relative values divided by
// the value at x = 0 computed on its own. A spectrum's points come when
// its last wavelength is done.
void compute_setup(const setup& s, int threads,
                   const std::function<void(int i, double x, double value)>& write);

// The console label of the setup's quantity.
std::string_view setup_label(const setup& s);
