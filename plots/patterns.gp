# Renders the data files the programs leave in one folder as PNG files:
#   gnuplot -c patterns.gp [<data folder> [<png folder>]]
# Both folders default to the working directory. Each pattern gets
# <program>.png, the LED profile ledcurve.png, and overview.png sets the six
# patterns side by side. A data file that is missing is skipped with a note.
# The bench in the titles is the one fixed in common/bench.hpp.

dir = (ARGC >= 1) ? ARG1 : "."
out = (ARGC >= 2) ? ARG2 : dir

# panel.gp sits beside this script; `call` resolves names from the working
# directory, so find this script's own folder.
here = ""
do for [i = 1:strlen(ARG0)] { if (ARG0[i:i] eq "/") { here = ARG0[1:i] } }
panel = here . "panel.gp"

present(name) = system(sprintf("test -r '%s/%s' && echo 1 || echo 0", dir, name)) eq "1"

set encoding utf8
terminal = strstrt(GPVAL_TERMINALS, "pngcairo") ? "pngcairo" : "png"
lambda = "λ = 6.37e-4, lengths in one unit"

array names[6] = ["monogap", "duogap", "broad_monogap", "broad_duogap", \
                  "conv_monogap", "conv_duogap"]
array kinds[6] = ["amplitude", "amplitude", "amplitude", "amplitude", \
                  "intensity", "intensity"]
array headings[6] = ["Plane wave, single slit", \
                     "Plane wave, first slit, double slit", \
                     "Coherent source strip, single slit", \
                     "Coherent source strip, first slit, double slit", \
                     "Incoherent LED strip, single slit", \
                     "Incoherent LED strip, first slit, double slit"]
array benches[6] = ["slit 0.8 wide, screen 700 behind it", \
                    "slit 0.8, then 200 on two slits 0.15 wide with centres 0.5 apart, screen 500 behind them", \
                    "strip 5.0 wide, 70 before slit 0.8, screen 700 behind the slit", \
                    "strip 5.0, 70 to slit 0.8, 200 to two slits 0.15 wide 0.5 apart, 500 to the screen", \
                    "LED 5.0 wide (Gaussian emission, σ = 12.5), 70 before slit 0.8, screen 700 behind", \
                    "LED 5.0 (σ = 12.5), 70 to slit 0.8, 200 to two slits 0.15 wide 0.5 apart, 500 to screen"]

# One PNG per pattern.
do for [k = 1:6] {
  file = dir . "/" . names[k] . ".txt"
  if (!present(names[k] . ".txt")) {
    print "no " . file . ", no " . names[k] . ".png"
  } else {
    eval sprintf("set terminal %s noenhanced size 900,500 font 'DejaVu Sans,10'", terminal)
    set output out . "/" . names[k] . ".png"
    set multiplot
    call panel file kinds[k] \
         sprintf("%s (%s)\n%s; %s", headings[k], names[k], benches[k], lambda) \
         "0.09" "0.97" "0.11" "0.88"
    unset multiplot
    set output
  }
}

# The LED's emission profile, with the part of it the LED programs sample.
if (!present("ledcurve.txt")) {
  print "no " . dir . "/ledcurve.txt, no ledcurve.png"
} else {
  reset
  eval sprintf("set terminal %s noenhanced size 900,500 font 'DejaVu Sans,10'", terminal)
  set output out . "/ledcurve.png"
  set title "LED emission profile (ledcurve): normal density, σ = 12.5"
  set xlabel "position across the LED"
  set ylabel "weight"
  set grid lc rgb "#e0e0e0"
  set yrange [0:*]
  set object 1 rect from -2.5, graph 0 to 2.5, graph 1 behind fc rgb "#ffe9a8" fs solid noborder
  set label 1 "the 5.0 wide strip\nthe LED programs use" at 3.5, graph 0.12 left
  plot dir . "/ledcurve.txt" using 1:2 with lines lw 1.5 lc rgb "#1f4e9c" notitle
  set output
  reset
}

# The overview: single slit left, double slit right; plane wave, coherent
# strip and LED from top to bottom.
found = 0
do for [k = 1:6] { found = found + present(names[k] . ".txt") }
if (found == 0) { print "no pattern data in " . dir . ", no overview.png"; exit }
eval sprintf("set terminal %s noenhanced size 1400,1500 font 'DejaVu Sans,9'", terminal)
set output out . "/overview.png"
set multiplot title "Diffraction patterns, " . lambda . ". Strips: the light on the screen." font ",12"
do for [k = 1:6] {
  column = (k - 1) % 2
  row = (k - 1) / 2
  left = 0.06 + 0.5 * column
  top = 0.95 - 0.315 * row
  file = dir . "/" . names[k] . ".txt"
  if (present(names[k] . ".txt")) {
    call panel file kinds[k] sprintf("%s (%s)\n%s", headings[k], names[k], benches[k]) \
         sprintf("%g", left) sprintf("%g", left + 0.42) \
         sprintf("%g", top - 0.26) sprintf("%g", top - 0.03)
  }
}
unset multiplot
set output
