# One pattern in a rectangle of the page: the value against x, and under it
# a thin strip of the light the screen would show. Called by patterns.gp:
#   call 'panel.gp' <data file> <kind> <title> <left> <right> <bottom> <top>
# kind "amplitude": the file holds |f(x)|, the light is its square;
# kind "intensity": the file holds the intensity itself.
# The programs compute x >= 0 only; the patterns are symmetric about the axis,
# so the x < 0 half is drawn as the mirror image, in grey, and says so.

file = ARG1
kind = ARG2
left = real(ARG4); right = real(ARG5); bottom = real(ARG6); top = real(ARG7)
strip = 0.09 * (top - bottom)  # strip height
gap = 0.05 * (top - bottom)    # room for the strip's x tics

light(v) = (kind eq "amplitude") ? v * v : v
set autoscale xy  # stats reads only what the previous panel's ranges show
stats file using 1:(light($2)) nooutput
# The screen spans [0, xmax) in steps; round up to the next whole unit.
xmax = ceil(STATS_max_x)
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
set ylabel (kind eq "amplitude" ? "|f(x)|, amplitude modulus" : "I(x)/I(0), intensity")
set yrange [0:*]
set offsets 0, 0, graph 0.12, 0  # headroom for the mirror note
set ytics nomirror
set xtics mirror
set grid xtics ytics lc rgb "#e0e0e0"
set label 1 "x < 0: mirror image" at graph 0.02, graph 0.94 left tc rgb "#909090"
unset key
plot file using (-$1):2 with lines lw 1.2 lc rgb "#a8a8a8", \
     file using 1:2 with lines lw 1.5 lc rgb "#1f4e9c"
unset label 1
unset title
unset grid

# The strip: grey level follows the intensity, displayed with a gamma of 2.2
# so that a monitor emits light roughly in proportion to it.
set tmargin at screen bottom + strip
set bmargin at screen bottom
set format x "%g"
set xlabel "x, position on the screen"
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
