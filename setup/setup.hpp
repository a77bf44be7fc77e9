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

struct setup {
  bench b;  // its wavelength, phase_model, sampling and method; derived
  source_strip source;
  std::vector<setup_plane> planes;
  setup_screen screen;
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

// What only the whole setup shows, once the bench options are applied: a
// strip all of whose samples weigh zero, tables above 1 GiB, a literal
// evaluation above literal_limit. Returns the refusal or empty.
std::string check_setup(const setup& s);

// The setup as setup-file lines; read back, it prints the same bytes.
std::string setup_text(const setup& s);

// Complex exponentials of the literal evaluation, and the most allowed.
double literal_exponentials(const setup& s);
inline constexpr double literal_limit = 1e9;

// Bytes of the fields and tables a run keeps.
double setup_table_bytes(const setup& s);

// The value at each point of a block, by the setup's method: the amplitude
// or the intensity; for the quantity relative the intensity, which the
// caller divides by its value on the axis.
block_loop setup_loop(const setup& s);
block_loop engine_loop(const setup& s);   // plane by plane
block_loop literal_loop(const setup& s);  // one exponential per path

// The pattern point by point in increasing i, relative values divided by
// the value at x = 0 computed on its own.
void compute_setup(const setup& s, int threads,
                   const std::function<void(int i, double x, double value)>& write);

// The console label of the setup's quantity.
std::string_view setup_label(const setup& s);
