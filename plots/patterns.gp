# Renders the data files the programs leave in one folder as figures, each
# as PNG and SVG:
#   gnuplot -c patterns.gp [<data folder> [<figure folder>]]
# Both folders default to the working directory; any folder name works. Each
# pattern gets <program>.png/.svg (a plane wave on a single slit also
# <program>_log, a logarithmic value axis), the LED profile its own, and
# overview.png/.svg sets the patterns side by side. A missing or empty data
# file is skipped with a note. The programs, their titles, what they print,
# the planes they sample, every number in the titles, the x ranges and the
# expected point counts come from bench.txt in the data folder, the bench the
# programs ran, as their --print-bench writes it.

dir = (ARGC >= 1) ? ARG1 : "."
out = (ARGC >= 2) ? ARG2 : dir

# gnuplot takes a file name starting with "<" or "|" for a command, "$" for
# a data block, "~" for the home folder: relative names are anchored at "./".
anchored(name) = (name[1:1] eq "/") ? name : "./" . name
data = anchored(dir) . "/"
figures = anchored(out) . "/"

# panel.gp sits beside this script; `call` resolves names from the working
# directory, so find this script's own folder.
here = ""
do for [i = 1:strlen(ARG0)] { if (ARG0[i:i] eq "/") { here = ARG0[1:i] } }
panel = ((here eq "") ? "" : anchored(here)) . "panel.gp"

# The data folder as one shell word: in single quotes, each single quote in
# the name closed, escaped and reopened.
shell_data = "'"
do for [i = 1:strlen(data)] {
  c = data[i:i]
  shell_data = shell_data . ((c eq "'") ? "'\\''" : c)
}
shell_data = shell_data . "'"
present(name) = system("test -s " . shell_data . name . " && echo 1 || echo 0") eq "1"

# The bench: the "name value" lines of bench.txt, as --print-bench writes
# it, and its "# program NAME COST exponentials POINTS points to MAX QUANTITY
# PLANES TITLE..." lines, each as "NAME.points", "NAME.max", "NAME.quantity",
# "NAME.planes" and "NAME.heading" (the title, capitalised); "patterns"
# lists the pattern programs in order, "profile" the LED profile's. The first
# "\n<key> " found holds the value.
if (!present("bench.txt")) {
  print "no " . dir . "/bench.txt (a program's --print-bench writes it): no figures"
  exit
}
bench_text = "\n" . system("awk '!/^[ \t]*#/ && NF >= 2 { print $1, $2 } " . \
  "/^# program / { title = $12; for (i = 13; i <= NF; i++) title = title \" \" $i; " . \
  "print $3 \".points\", $6; print $3 \".max\", $9; print $3 \".quantity\", $10; " . \
  "print $3 \".planes\", $11; print $3 \".heading\", toupper(substr(title, 1, 1)) substr(title, 2); " . \
  "if ($10 == \"profile\") profile = $3; else patterns = patterns \" \" $3 } " . \
  "END { print \"patterns\", patterns; print \"profile\", profile }' " . \
  shell_data . "bench.txt") . "\n"
bench_tail(key) = substr(bench_text, strstrt(bench_text, "\n" . key . " ") + strlen(key) + 2, \
                         strlen(bench_text))
bench(key) = substr(bench_tail(key), 1, strstrt(bench_tail(key), "\n") - 1)

wavelength = bench("wavelength")
source_width = bench("source_width")
entrance_width = bench("entrance_width")
pair_slit_width = bench("pair_slit_width")
pair_separation = bench("pair_separation")
source_distance = bench("source_distance")
pair_distance = bench("pair_distance")
screen_distance = bench("screen_distance")
led_sigma = bench("led_sigma")
sampling = bench("sampling")
phase_model = bench("phase_model")
source_samples = bench("source_samples")
entrance_samples = bench("entrance_samples")
pair_samples = bench("pair_samples")
behind_slit = sprintf("%g", real(pair_distance) + real(screen_distance))

set encoding utf8
lambda = "λ = " . wavelength
xlabel = sprintf("x, position on the screen (length unit; mm if λ is read as %g nm)", \
                 real(wavelength) * 1e6)

pair = sprintf("two slits %s wide with centres %s apart", pair_slit_width, pair_separation)
led = sprintf("LED %s wide (Gaussian emission, σ = %s)", source_width, led_sigma)
on_source = source_samples . " on the source, "
on_pair = ", " . pair_samples . " on each slit of the pair"
# What is on a program's bench, by the planes it samples and what it prints.
describe(planes, kind) = \
  (planes eq "entrance") ? \
    sprintf("slit %s wide, screen %s behind it", entrance_width, behind_slit) : \
  (planes eq "entrance+pair") ? \
    sprintf("slit %s, then %s on %s, screen %s behind them", \
            entrance_width, pair_distance, pair, screen_distance) : \
  (planes eq "source+entrance" && kind eq "amplitude") ? \
    sprintf("strip %s wide, %s before slit %s, screen %s behind the slit", \
            source_width, source_distance, entrance_width, behind_slit) : \
  (planes eq "source+entrance+pair" && kind eq "amplitude") ? \
    sprintf("strip %s, %s to slit %s, %s to %s, %s to the screen", \
            source_width, source_distance, entrance_width, pair_distance, pair, screen_distance) : \
  (planes eq "source+entrance") ? \
    sprintf("%s, %s before slit %s, screen %s behind", \
            led, source_distance, entrance_width, behind_slit) : \
  (planes eq "source+entrance+pair") ? \
    sprintf("LED %s (σ = %s), %s to slit %s, %s to %s, %s to screen", source_width, \
            led_sigma, source_distance, entrance_width, pair_distance, pair, screen_distance) : \
  ""

# Per pattern program: its kind (what panel.gp draws), a logarithmic
# variant where a linear axis hides the side lobes (a plane wave on a single
# slit), its points and span, heading, bench and sample counts, and its
# place in the overview: single slit left, double slit right; plane wave,
# coherent strip and LED from top to bottom.
patterns = bench("patterns")
count = words(patterns)
array names[count]
array kinds[count]
array log_variant[count]
array points[count]
array spans[count]
array headings[count]
array benches[count]
array samples[count]
array columns[count]
array rows[count]
do for [k = 1:count] {
  names[k] = word(patterns, k)
  kinds[k] = bench(names[k] . ".quantity")
  planes = bench(names[k] . ".planes")
  has_source = strstrt(planes, "source") > 0
  has_pair = strstrt(planes, "pair") > 0
  log_variant[k] = (planes eq "entrance")
  points[k] = int(real(bench(names[k] . ".points")))
  spans[k] = real(bench(names[k] . ".max"))
  headings[k] = bench(names[k] . ".heading")
  benches[k] = describe(planes, kinds[k])
  samples[k] = (has_source ? on_source : "") . entrance_samples . \
               (has_pair ? " on the first slit" . on_pair : " on the slit")
  columns[k] = has_pair
  rows[k] = !has_source ? 0 : (kinds[k] eq "intensity") ? 2 : 1
}
method = sprintf("%s sampling, %s phase model", sampling, phase_model)

array formats[2] = ["png", "svg"]
png = strstrt(GPVAL_TERMINALS, "pngcairo") ? "pngcairo" : "png"
terminal(f, width, height, size) = \
  sprintf("set terminal %s noenhanced size %d,%d font 'DejaVu Sans,%d'%s", \
          (f == 1) ? png : "svg", width, height, size, (f == 2) ? " background rgb 'white'" : "")
continuum_of(k) = present(names[k] . ".continuum.txt") ? data . names[k] . ".continuum.txt" : ""

# One figure per pattern, and a logarithmic one where asked.
do for [k = 1:count] {
  if (!present(names[k] . ".txt")) {
    print "no data in " . dir . "/" . names[k] . ".txt, no " . names[k] . " figure"
  } else {
    file = data . names[k] . ".txt"
    overlay = continuum_of(k)
    do for [variant = 1:1 + log_variant[k]] {
      do for [f = 1:2] {
        eval terminal(f, 900, 500, 10)
        set output figures . names[k] . ((variant == 2) ? "_log." : ".") . formats[f]
        set multiplot
        call panel file kinds[k] . ((variant == 2) ? " log" : "") \
             sprintf("%s (%s)%s\n%s\n%s; samples: %s; %s", headings[k], names[k], \
                     (variant == 2) ? ", logarithmic scale" : "", benches[k], \
                     lambda, samples[k], method) \
             (variant == 2) ? "0.11 0.97 0.11 0.85" : "0.09 0.97 0.11 0.85" sprintf("%d", points[k]) sprintf("%.17g", spans[k]) \
             xlabel overlay
        unset multiplot
        set output
      }
    }
  }
}

# The LED's emission profile, σ marked, and the part of it the LED programs
# sample.
profile = word(bench("profile"), 1)
if (!present(profile . ".txt")) {
  print "no data in " . dir . "/" . profile . ".txt, no " . profile . " figure"
} else {
  half_strip = real(source_width) / 2
  sigma = real(led_sigma)
  do for [f = 1:2] {
    reset
    eval terminal(f, 900, 500, 10)
    set output figures . profile . "." . formats[f]
    set title bench(profile . ".heading") . " (" . profile . "): normal density, σ = " . led_sigma
    set xlabel "position across the LED (length unit)"
    set ylabel "emission weight (per length unit)"
    set grid lc rgb "#e0e0e0"
    set yrange [0:*]
    set object 1 rect from -sigma, graph 0 to sigma, graph 1 behind fc rgb "#eaf0fa" fs solid noborder
    set object 2 rect from -half_strip, graph 0 to half_strip, graph 1 behind fc rgb "#ffe9a8" fs solid noborder
    set label 1 "the " . source_width . " wide strip\nthe LED programs use" \
        at half_strip, graph 0.12 left offset char 1
    set label 2 "±σ" at sigma, graph 0.95 right offset char -0.5 tc rgb "#5070a0"
    plot data . profile . ".txt" using 1:2 with lines lw 1.5 lc rgb "#1f4e9c" notitle
    set output
  }
  reset
}

# The overview: single slit left, double slit right; plane wave, coherent
# strip and LED from top to bottom.
found = 0
do for [k = 1:count] { found = found + present(names[k] . ".txt") }
if (found == 0) { print "no pattern data in " . dir . ", no overview"; exit }
do for [f = 1:2] {
  eval terminal(f, 1400, 1500, 9)
  set output figures . "overview." . formats[f]
  set multiplot title sprintf("Diffraction patterns, %s, lengths in one unit; %s. Strips: the light on the screen.", \
                              lambda, method) font ",12"
  # Row by row, left to right.
  do for [place = 0:5] {
    do for [k = 1:count] {
      if (2 * rows[k] + columns[k] == place && present(names[k] . ".txt")) {
        left = 0.06 + 0.5 * columns[k]
        top = 0.95 - 0.315 * rows[k]
        file = data . names[k] . ".txt"
        overlay = continuum_of(k)
        call panel file kinds[k] sprintf("%s (%s)\n%s", headings[k], names[k], benches[k]) \
             sprintf("%g %g %g %g", left, left + 0.42, top - 0.26, top - 0.03) \
             sprintf("%d", points[k]) sprintf("%.17g", spans[k]) xlabel overlay
      }
    }
  }
  unset multiplot
  set output
}
