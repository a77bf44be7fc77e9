# The validation report's figures, from the data files of `validate`:
#   gnuplot -e "data = 'DIR'; figures = 'DIR'" plots/validation.gp
# data holds the series and values.gp, the report's values as strings
# (scripts/validation.sh writes both).
load data . "/values.gp"
file(name) = data . "/" . name

# Convergence: one panel per program, both sampling rules.
set terminal pngcairo size 1200,760 font ",10"
set output figures . "/convergence.png"
programs = "monogap duogap broad_monogap broad_duogap conv_monogap conv_duogap"
nstars = nstar_monogap . " " . nstar_duogap . " " . nstar_broad_monogap . " " . \
         nstar_broad_duogap . " " . nstar_conv_monogap . " " . nstar_conv_duogap
set multiplot layout 2,3 title "Largest |sum − continuum| against samples per aperture N (equal on every aperture); dotted vertical: N*"
set logscale xy
set format x "10^{%T}"
set format y "10^{%T}"
set xlabel "N"
set grid
set key bottom left noenhanced
do for [i = 1:words(programs)] {
  p = word(programs, i)
  set title p noenhanced
  le = file("convergence-" . p . "-left-edge.dat")
  mp = file("convergence-" . p . "-midpoint.dat")
  # The reference lines pass through each rule's point at the largest N.
  unset logscale
  set autoscale xy
  stats le using 1 nooutput
  last_record = STATS_records - 1
  last = STATS_max
  stats le every ::last_record::last_record using 2 nooutput
  e_le = STATS_max
  stats mp every ::last_record::last_record using 2 nooutput
  e_mp = STATS_max
  stats "< cat " . le . " " . mp using 1:2 nooutput
  set xrange [STATS_min_x / 1.5 : STATS_max_x * 1.5]
  set yrange [STATS_min_y / 3 : STATS_max_y * 3]
  set logscale xy
  n_star = real(word(nstars, i))
  unset arrow
  if (n_star > STATS_min_x && n_star < STATS_max_x) {
    set arrow from n_star, graph 0 to n_star, graph 1 nohead dt 3 lc "black"
  }
  plot le using 1:2 with linespoints lw 2 pt 7 title "left-edge", \
       mp using 1:2 with linespoints lw 2 pt 5 dt 2 title "midpoint", \
       e_le * last / x with lines lc "gray50" dt 3 title "∝ 1/N", \
       e_mp * last**2 / x**2 with lines lc "gray30" dt 4 title "∝ 1/N²"
}
unset multiplot

# broad_monogap's ghosts, and their distance against the source count.
set terminal pngcairo size 1100,760 font ",10"
set output figures . "/ghosts.png"
unset logscale
set format x "%g"
set format y "%g"
set multiplot layout 2,1
unset arrow
set title "broad_monogap: sampled source strip against its continuum; arrows: predicted ghost centres m·λ(L2+L3)/(2Δ)" noenhanced
set xrange [0:real(single_screen_max)]
set yrange [0:*]
set xlabel "screen position x"
set ylabel "|f(x)|"
set key top right
if (int(ghosts_base) > 0) {
  do for [m = 1:int(ghosts_base)] {
    set arrow from m * real(period_base), graph 0 to m * real(period_base), graph 0.08 lc "blue" lw 2
  }
}
if (int(ghosts_double) > 0) {
  do for [m = 1:int(ghosts_double)] {
    set arrow from m * real(period_double), graph 0 to m * real(period_double), graph 0.16 lc "red" lw 2
  }
}
plot file("broad_monogap-" . source_samples . ".dat") with lines lc "blue" title source_samples . " source samples", \
     file("broad_monogap-" . double_count . ".dat") with lines lc "red" title double_count . " source samples", \
     file("broad_monogap-" . ghost_plot_count . ".dat") with lines lc "dark-green" title ghost_plot_count . " source samples", \
     file("broad_monogap-continuum.dat") with lines lc "black" dt 2 lw 2 title "continuum"
unset arrow
set title "Largest difference on [0, " . single_screen_max . ") against source samples (" . entrance_samples . " on the slit)"
set xrange [*:*]
set yrange [*:*]
set logscale xy
set format x "10^{%T}"
set format y "10^{%T}"
set xlabel "source samples"
set ylabel "max |difference|"
set arrow from real(n_image), graph 0 to real(n_image), graph 1 nohead dt 2
set arrow from real(nstar_broad_monogap), graph 0 to real(nstar_broad_monogap), graph 1 nohead dt 3
set label "first ghost's image\nbeyond x = " . single_screen_max at real(n_image), graph 0.2 right offset -1,0
set label "ghosts leave\nthe strip" at real(nstar_broad_monogap), graph 0.85 left offset 1,0
plot file("source.dat") using 1:2 with linespoints lw 2 pt 7 title "from the continuum", \
     file("source-ghosts.dat") using 1:2 with linespoints lw 2 pt 5 dt 2 title "from " . finest_source . " source samples (the ghosts alone)"
unset multiplot

# The two phase models.
set output figures . "/models.png"
unset logscale
unset arrow
unset label
set format x "%g"
set format y "%g"
set multiplot layout 2,1
set title "monogap: the two phase models, " . entrance_samples . " samples (solid) and continuum (dashed)"
set xrange [0:6]
set yrange [0:1]
set xlabel "screen position x"
set ylabel "|f(x)|"
plot file("monogap-classic.dat") with lines lc "blue" title "classic", \
     file("monogap-classic-continuum.dat") with lines lc "blue" dt 2 lw 2 title "classic continuum", \
     file("monogap-fresnel.dat") with lines lc "red" title "fresnel", \
     file("monogap-fresnel-continuum.dat") with lines lc "red" dt 2 lw 2 title "fresnel continuum"
set title "duogap: the same; ticks at the dark fringes of two points, (m + 1/2)·λL3/D"
set xrange [0:real(double_screen_max)]
set yrange [0:0.4]
do for [m = 0:6] {
  set arrow from (m + 0.5) * real(ideal), graph 0 to (m + 0.5) * real(ideal), graph 0.06 nohead lw 2
}
plot file("duogap-classic.dat") with lines lc "blue" title "classic", \
     file("duogap-classic-continuum.dat") with lines lc "blue" dt 2 lw 2 title "classic continuum", \
     file("duogap-fresnel.dat") with lines lc "red" title "fresnel", \
     file("duogap-fresnel-continuum.dat") with lines lc "red" dt 2 lw 2 title "fresnel continuum"
unset multiplot
