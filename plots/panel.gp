# One pattern in a rectangle of the page: the value against x, and under it
# a thin strip of the light the screen would show. Called by patterns.gp:
#   call 'panel.gp' <data file> <kind> <title> <"left right bottom top">
#                   <points expected> <screen span> <x label> <continuum file>
# kind "amplitude": the file holds |f(x)|, the light is its square;
# kind "intensity": the file holds the intensity itself. Either may be
# followed by " log" for a logarithmic value axis. The continuum file, if
# not "", is drawn dashed over the pattern.
# The programs compute x >= 0 only; the patterns are symmetric about the axis,
# so the x < 0 half is drawn as the mirror image, in grey, and says so.

file = ARG1
kind = word(ARG2, 1)
logarithmic = (words(ARG2) > 1)
left = real(word(ARG4, 1)); right = real(word(ARG4, 2))
bottom = real(word(ARG4, 3)); top = real(word(ARG4, 4))
expected = int(real(ARG5))
span = real(ARG6)
overlay_file = ARG8
strip = 0.09 * (top - bottom)  # strip height
gap = 0.05 * (top - bottom)    # room for the strip's x tics

light(v) = (kind eq "amplitude") ? v * v : v
set autoscale xy  # stats reads only what the previous panel's ranges show
stats file using 1:(light($2)) nooutput
# The screen spans [0, span); a file reaching further, from another bench,
# is shown to its next whole unit.
xmax = (ceil(STATS_max_x) > span) ? ceil(STATS_max_x) : span
lightmax = (STATS_max_y > 0) ? STATS_max_y : 1

set lmargin at screen left
set rmargin at screen right
set xrange [-xmax:xmax]

# The curve.
set tmargin at screen top
set bmargin at screen bottom + strip + gap
set title ARG3
set format x ""
set xlabel ""
set ylabel (kind eq "amplitude" ? "amplitude |f(x)|" : "intensity (normalised to the axis)")
# Logarithmic: the top at the highest value, not at the next decade.
if (logarithmic) { set logscale y; set yrange [*:(kind eq "amplitude" ? sqrt(lightmax) : lightmax)] }
if (!logarithmic) { set yrange [0:*] }
set offsets 0, 0, graph 0.12, 0  # headroom for the notes
set ytics nomirror
set xtics mirror
set grid xtics ytics lc rgb "#e0e0e0"
set label 1 "x < 0: mirror image" at graph 0.02, graph 0.94 left tc rgb "#909090"
# A run stopped early leaves fewer points: the figure says so rather than
# pass the part for the whole.
if (STATS_records < expected) {
  set label 2 sprintf("incomplete: %d of %d points", STATS_records, expected) \
      at graph 0.5, graph 0.94 center tc rgb "#c00000"
}
if (overlay_file eq "") {
  unset key
  plot file using (-$1):2 with lines lw 1.2 lc rgb "#a8a8a8", \
       file using 1:2 with lines lw 1.5 lc rgb "#1f4e9c"
} else {
  set key top right opaque
  plot file using (-$1):2 with lines lw 1.2 lc rgb "#a8a8a8" notitle, \
       file using 1:2 with lines lw 1.5 lc rgb "#1f4e9c" title "phasor sum", \
       overlay_file using 1:2 with lines lw 1.5 dt 2 lc rgb "#d95f02" title "continuum limit"
}
unset label 1
unset label 2
unset title
unset grid
unset key
unset logscale y

# The strip: grey level follows the intensity, displayed with a gamma of 2.2
# so that a monitor emits light roughly in proportion to it.
set tmargin at screen bottom + strip
set bmargin at screen bottom
set format x "%g"
set xlabel ARG7
set yrange [0:1]
set offsets 0, 0, 0, 0
unset ytics
unset ylabel
set xtics nomirror
set cbrange [0:lightmax]
set palette gray gamma 2.2
unset colorbox
# Image needs a grid at least two rows high: the same row at y = 0 and 1.
set table $strip
plot file using 1:(0):(light($2)) with table, file using 1:(1):(light($2)) with table
unset table
plot $strip using (-$1):2:3 with image notitle, $strip using 1:2:3 with image notitle

# Leave the page as the caller found it for the next panel.
set ytics; set xtics; set yrange [*:*]; set xlabel ""
