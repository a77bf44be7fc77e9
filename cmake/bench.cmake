# The optical bench, chosen at configure time. Each value enters the code as
# the text written here, so 6.37e-4 is the same binary64 as a constant
# typed into the source. Nonsense is refused with a message naming the
# variable and its value.

set(slits_bench_lengths
  WAVELENGTH 6.37e-4 "wavelength of the light"
  SOURCE_WIDTH 5.0 "width of the source strip (broad-source and LED programs)"
  ENTRANCE_WIDTH 0.8 "width of the first slit"
  PAIR_SLIT_WIDTH 0.15 "width of each slit of the double slit"
  PAIR_SEPARATION 0.5 "distance between the centres of the two slits"
  SOURCE_DISTANCE 70 "source plane to first slit"
  PAIR_DISTANCE 200 "first slit to double slit"
  SCREEN_DISTANCE 500 "double slit to screen"
  SINGLE_SCREEN_MAX 20 "end of the screen span of the single-slit programs"
  DOUBLE_SCREEN_MAX 4 "end of the screen span of the double-slit programs"
  LED_SIGMA 12.5 "standard deviation of the LED's emission profile")
set(slits_bench_counts
  SOURCE_SAMPLES 100 "samples across the source strip"
  ENTRANCE_SAMPLES 100 "samples across the first slit"
  PAIR_SAMPLES 100 "samples across each slit of the double slit"
  SCREEN_COUNT 1000 "screen points per program (monogap takes ten times as many)")
set(slits_sample_limit 10000)    # tables of N x N terms stay within memory
set(slits_screen_limit 1000000)

# Whether every value is the default: the test suite checks the programs
# against literal evaluations of the default bench only.
set(SLITS_DEFAULT_BENCH ON)

# Takes the next (name default doc) off the list, declares SLITS_<name> and
# leaves its text in `value`.
macro(slits_bench_variable list)
  list(POP_FRONT ${list} name default doc)
  set(SLITS_${name} ${default} CACHE STRING "${doc}")
  set(value "${SLITS_${name}}")
  if(NOT value STREQUAL default)
    set(SLITS_DEFAULT_BENCH OFF)
  endif()
endmacro()

function(slits_bench_refuse name value why)
  message(FATAL_ERROR "SLITS_${name}=${value}: ${why}")
endfunction()

# Lengths: a decimal number, greater than zero.
while(slits_bench_lengths)
  slits_bench_variable(slits_bench_lengths)
  if(NOT value MATCHES "^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?$")
    slits_bench_refuse(${name} "${value}" "not a decimal number")
  endif()
  if(NOT value GREATER 0)
    slits_bench_refuse(${name} "${value}" "must be greater than zero")
  endif()
endwhile()

# Counts: a whole number from 1 to a sane limit.
while(slits_bench_counts)
  slits_bench_variable(slits_bench_counts)
  set(limit ${slits_sample_limit})
  if(name STREQUAL "SCREEN_COUNT")
    set(limit ${slits_screen_limit})
  endif()
  if(NOT value MATCHES "^[0-9]+$" OR value LESS 1 OR value GREATER limit)
    slits_bench_refuse(${name} "${value}" "not a whole number from 1 to ${limit}")
  endif()
endwhile()

# The two slits of the pair must not overlap: each is pair_slit_width wide,
# their centres pair_separation apart.
if(NOT SLITS_PAIR_SEPARATION GREATER SLITS_PAIR_SLIT_WIDTH)
  slits_bench_refuse(PAIR_SEPARATION "${SLITS_PAIR_SEPARATION}"
    "the slits of the pair overlap (separation must exceed SLITS_PAIR_SLIT_WIDTH=${SLITS_PAIR_SLIT_WIDTH})")
endif()

# The model: the phase of a hop, and where an aperture is sampled.
set(SLITS_PHASE_MODEL classic CACHE STRING "classic: k p (p - q) / L per hop; fresnel: k (p - q)^2 / 2L")
set_property(CACHE SLITS_PHASE_MODEL PROPERTY STRINGS classic fresnel)
set(SLITS_SAMPLING left-edge CACHE STRING "left-edge: samples from the lower edge; midpoint: centred")
set_property(CACHE SLITS_SAMPLING PROPERTY STRINGS left-edge midpoint)
if(NOT SLITS_PHASE_MODEL MATCHES "^(classic|fresnel)$")
  slits_bench_refuse(PHASE_MODEL "${SLITS_PHASE_MODEL}" "neither classic nor fresnel")
endif()
if(NOT SLITS_SAMPLING MATCHES "^(left-edge|midpoint)$")
  slits_bench_refuse(SAMPLING "${SLITS_SAMPLING}" "neither left-edge nor midpoint")
endif()
if(NOT SLITS_PHASE_MODEL STREQUAL classic OR NOT SLITS_SAMPLING STREQUAL left-edge)
  set(SLITS_DEFAULT_BENCH OFF)
endif()
string(COMPARE EQUAL "${SLITS_PHASE_MODEL}" fresnel SLITS_FRESNEL_HOPS)
string(COMPARE EQUAL "${SLITS_SAMPLING}" midpoint SLITS_MIDPOINT_SAMPLES)

# bench_config.hpp for the code; bench.txt, the same values as key-value
# lines, for the main job and the plots.
configure_file(${PROJECT_SOURCE_DIR}/common/bench_config.hpp.in
               ${PROJECT_BINARY_DIR}/generated/bench_config.hpp @ONLY)
set(SLITS_BENCH_FILE ${PROJECT_BINARY_DIR}/bench.txt)
configure_file(${PROJECT_SOURCE_DIR}/plots/bench.txt.in ${SLITS_BENCH_FILE} @ONLY)
