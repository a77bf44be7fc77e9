#!/usr/bin/env bash
# Writes docs/validation.md and its plots in docs/validation/: how close the
# programs' sums over sampled apertures come to the integrals they sample (the
# `continuum` tool), how that difference falls with the sample count, the
# ghost images of the aliased source strip, the double-slit fringe spacing,
# and the two phase models side by side.
#
# Usage: bash scripts/validation.sh [--report-only]
#   --report-only  rewrites the report and plots from the data of the last run
#
# Needs what the programs need, libcerf (for `continuum`) and gnuplot. The
# default bench is built in build/validation-default; every other bench is
# configured in turn in build/validation-variant, where only the bench model
# and the programs it needs recompile. Each bench's programs are copied to
# build/validation-data/<bench>/ and run there while the next one builds.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$EPOCHREALTIME
data=build/validation-data
figures=docs/validation
report=docs/validation.md
command -v gnuplot > /dev/null || { echo "validation.sh: needs gnuplot (Debian: gnuplot-nox)" >&2; exit 1; }
report_only=0
[ "${1:-}" = --report-only ] && report_only=1
[ $report_only = 1 ] || rm -rf "$data"
mkdir -p "$data" "$figures"

cheap="monogap duogap broad_monogap conv_monogap"
heavy="broad_duogap conv_duogap"
heavy_screen=50  # screen points of the heavy programs' convergence series

# ---------------------------------------------------------------------------
# Benches: build, copy out, run in the background one at a time.

runner=""
finish_runs() {
  if [ -n "$runner" ]; then
    wait "$runner" || { echo "validation.sh: a run failed" >&2; exit 1; }
    runner=""
  fi
}

# bench NAME "PROGRAMS" "CONTINUA" [SETTING=VALUE...]: the default bench with
# the given settings (cache variables without SLITS_, e.g. SOURCE_SAMPLES=200);
# each program leaves <program>.txt in $data/NAME, and the continuum limit of
# each program in CONTINUA goes to <program>.continuum.txt.
benches=0
bench() {
  benches=$((benches + 1))
  [ $report_only = 1 ] && return
  local name=$1 programs=$2 continua=$3 dir=build/validation-variant setting target
  shift 3
  [ "$name" = default ] && dir=build/validation-default
  local targets settings=()
  read -r -a targets <<< "$programs${continua:+ continuum}"
  for setting in "$@"; do settings+=("-DSLITS_$setting"); done
  # -U first: every setting not given returns to its default.
  cmake -S . -B "$dir" -U 'SLITS_*' -DCMAKE_BUILD_TYPE=Release -DSLITS_BUILD_TESTS=OFF \
    "${settings[@]}" > /dev/null
  if [ -n "$continua" ] && grep -q '^CERF_[A-Z_]*:[A-Z]*=.*NOTFOUND' "$dir/CMakeCache.txt"; then
    echo "validation.sh: needs libcerf for the continuum tool (Debian: libcerf-dev)" >&2
    exit 1
  fi
  cmake --build "$dir" -j2 --target "${targets[@]}" > /dev/null
  mkdir -p "$data/$name/bin"
  for target in "${targets[@]}"; do cp "$dir/programs/$target" "$data/$name/bin/"; done
  cp "$dir/bench.txt" "$data/$name/"
  finish_runs
  (
    cd "$data/$name"
    for program in $programs; do "bin/$program" > /dev/null; done
    for program in $continua; do bin/continuum "$program" > "$program.continuum.txt"; done
  ) &
  runner=$!
}

[ $report_only = 1 ] || echo "validation: building and running the default bench and its variants"
bench default "$cheap $heavy" "$cheap $heavy"
# The default bench's values, for the variants and the figures below.
declare -A default
while read -r key value; do default[$key]=$value; done < <(grep -v '^#' "$data/default/bench.txt")
half() { awk -v v="$1" 'BEGIN { printf "%.10g", v / 2 }'; }

for rule in left-edge midpoint; do
  for N in 25 50 100 200; do
    continua=""
    [ "$rule$N" = left-edge25 ] && continua=$heavy
    bench "heavy-$rule-$N" "$heavy" "$continua" SCREEN_COUNT=$heavy_screen SAMPLING=$rule \
      SOURCE_SAMPLES=$N ENTRANCE_SAMPLES=$N PAIR_SAMPLES=$N
  done
done
for rule in left-edge midpoint; do
  for N in 25 50 100 200 400; do
    [ "$rule$N" = left-edge100 ] && continue  # the default bench
    bench "series-$rule-$N" "$cheap" "" SAMPLING=$rule \
      SOURCE_SAMPLES=$N ENTRANCE_SAMPLES=$N PAIR_SAMPLES=$N
  done
done
source_counts="200 450 500 550 600 700"
for N in $source_counts; do bench "source-$N" broad_monogap "" SOURCE_SAMPLES="$N"; done
bench fresnel "monogap duogap" "monogap duogap" PHASE_MODEL=fresnel
bench fresnel-half monogap monogap PHASE_MODEL=fresnel \
  PAIR_DISTANCE="$(half "${default[pair_distance]}")" \
  SCREEN_DISTANCE="$(half "${default[screen_distance]}")" \
  SINGLE_SCREEN_MAX="$(half "${default[single_screen_max]}")"
narrow=0.02 lit=4.0
for model in classic fresnel; do
  bench "narrow-$model" "" duogap PHASE_MODEL=$model PAIR_SLIT_WIDTH=$narrow
  bench "lit-$model" "" duogap PHASE_MODEL=$model ENTRANCE_WIDTH=$lit
done
finish_runs
echo "validation: writing $report"

# The series' data folder for a rule and N.
series() {
  if [ "$1$2" = left-edge100 ]; then echo "$data/default"; else echo "$data/series-$1-$2"; fi
}

# ---------------------------------------------------------------------------
# Figures from the data.

# diffstat FILE CONTINUUM: "max x_at_max rms points peak", the largest and the
# RMS difference of the values and the largest continuum value, after checking
# that both files hold the same screen points.
diffstat() {
  paste -d' ' "$1" "$2" | awk -v file="$1" '
    function abs(v) { return v < 0 ? -v : v }
    NF != 4 || abs($1 - $3) > 1e-5 * (1 + abs($3)) {
      printf "validation.sh: %s and its continuum differ at line %d\n", file, NR > "/dev/stderr"
      bad = 1; exit 1
    }
    { d = abs($2 - $4); s += d * d; n++; if (d > m) { m = d; x = $1 }; if (abs($4) > peak) peak = abs($4) }
    END { if (!bad) printf "%.3e %.6g %.3e %d %.4g\n", m, x, sqrt(s / n), n, peak }'
}
maxdiff() { diffstat "$1" "$2" | cut -d' ' -f1; }

# extrema FILE min|max XMAX: the local minima or maxima of the values below
# XMAX, each placed by the parabola through its three points, one a line:
# "x value".
extrema() {
  awk -v kind="$2" -v xmax="$3" '
    { x[NR] = $1; y[NR] = $2 }
    END {
      for (i = 2; i < NR && x[i] < xmax; i++) {
        up = kind == "max"
        if (up ? (y[i] > y[i-1] && y[i] >= y[i+1]) : (y[i] < y[i-1] && y[i] <= y[i+1])) {
          c = y[i-1] - 2 * y[i] + y[i+1]
          printf "%.4f %.4g\n", x[i] + (x[i+1] - x[i]) * 0.5 * (y[i-1] - y[i+1]) / c, y[i]
        }
      }
    }' "$1"
}
nth() { sed -n "${2}p" <<< "$1" | cut -d' ' -f1; }

calc() { awk "BEGIN { printf $1 }"; }
k="(2 * 3.14159265358979 / ${default[wavelength]})"
lambda=${default[wavelength]}
ws=${default[source_width]} we=${default[entrance_width]}
wp=${default[pair_slit_width]} D=${default[pair_separation]}
L1=${default[source_distance]} L2=${default[pair_distance]} L3=${default[screen_distance]}
Lp="($L2 + $L3)"
xs=${default[single_screen_max]} xd=${default[double_screen_max]}
yout="($D / 2 + $wp / 2)"

# 1. The default bench against its continuum.
programs_all="monogap duogap broad_monogap broad_duogap conv_monogap conv_duogap"
table1=""
for p in $programs_all; do
  read -r m x rms n peak <<< "$(diffstat "$data/default/$p.txt" "$data/default/$p.continuum.txt")"
  table1+="| \`$p\` | $n | $peak | $m | $x | $rms | $(calc "\"%.1f %%\", 100 * $m / $peak") |"$'\n'
  declare "max1_$p=$m" "at1_$p=$x"
done

# 2. Convergence. N* is the count below which the phase changes by 2π or more
# between neighbouring samples somewhere on the aperture that limits the sum.
declare -A nstar limiting
nstar[monogap]=$(calc "\"%.0f\", $we * $k * ($we + $xs) / $Lp / (2 * 3.14159265358979)")
limiting[monogap]="first slit"
nstar[duogap]=$(calc "\"%.0f\", $we * $k * ($we + $yout) / $L2 / (2 * 3.14159265358979)")
limiting[duogap]="first slit"
nstar[broad_monogap]=$(calc "\"%.0f\", $ws * $k * ($ws + $we / 2) / $L1 / (2 * 3.14159265358979)")
limiting[broad_monogap]="source"
nstar[broad_duogap]=${nstar[broad_monogap]}
limiting[broad_duogap]="source"
nstar[conv_monogap]=$(calc "\"%.0f\", $we * $k * (($we + $ws / 2) / $L1 + ($we + $xs) / $Lp) / (2 * 3.14159265358979)")
limiting[conv_monogap]="first slit"
nstar[conv_duogap]=$(calc "\"%.0f\", $we * $k * (($we + $ws / 2) / $L1 + ($we + $yout) / $L2) / (2 * 3.14159265358979)")
limiting[conv_duogap]="first slit"

table2=""
for p in $programs_all; do
  label="\`$p\`"
  case " $heavy " in *" $p "*) label+=" ($heavy_screen points)" ;; esac
  for rule in left-edge midpoint; do
    row="| $label | ${limiting[$p]}, ${nstar[$p]} | $rule |"
    : > "$data/convergence-$p-$rule.dat"
    previous=""
    for N in 25 50 100 200 400; do
      case " $heavy " in
        *" $p "*) dir=$data/heavy-$rule-$N reference=$data/heavy-left-edge-25 ;;
        *) dir=$(series "$rule" "$N") reference=$data/default ;;
      esac
      if [ ! -f "$dir/$p.txt" ]; then row+=" |"; continue; fi
      e=$(maxdiff "$dir/$p.txt" "$reference/$p.continuum.txt")
      echo "$N $e" >> "$data/convergence-$p-$rule.dat"
      cell=$e
      [ -n "$previous" ] && cell+=" ($(calc "\"%.2f\", log($previous / $e) / log(2)"))"
      row+=" $cell |"
      previous=$e
    done
    table2+="$row"$'\n'
  done
done

# 3. Ghosts of broad_monogap. Ghost m sits m·P from the axis, P = λ(L2+L3)/(2Δ);
# each is fitted as the continuum's central pattern (half-width $image) shifted
# to where it matches best.
image=$(calc "\"%.2f\", $we * (($Lp) / (4 * $L1) - 1)")  # half-width of the central pattern
period() { calc "\"%.3f\", $lambda * $Lp / (2 * $ws / $1)"; }
ghosts() {
  paste -d' ' "$1" "$data/default/broad_monogap.continuum.txt" |
    awk -v P="$2" -v xmax="$xs" -v half="$image" '
    { x[NR-1] = $1; y[NR-1] = $2; c[NR-1] = $4; n = NR }
    END {
      h = x[1] - x[0]; w = int(half / h); sxx = 0; sxy = 0
      for (m = 1; m * P + half < xmax; m++) {
        b = -1
        for (t = int(m * P / h) - int(0.8 / h); t <= int(m * P / h) + int(0.8 / h); t++) {
          s = 0
          for (j = -w; j <= w; j++) { i = t + j; a = j < 0 ? -j : j; s += (y[i] - c[a]) ^ 2 }
          e[t] = s; if (b < 0 || s < e[b]) b = t
        }
        g = h * (b + 0.5 * (e[b-1] - e[b+1]) / (e[b-1] - 2 * e[b] + e[b+1]))
        positions = positions (m > 1 ? ", " : "") sprintf("%.3f", g)
        sxx += m * m; sxy += m * g
      }
      printf "%s|%.3f\n", positions, sxy / sxx
    }'
}
P100=$(period "${default[source_samples]}")
P200=$(period 200)
IFS='|' read -r ghosts100 fit100 <<< "$(ghosts "$data/default/broad_monogap.txt" "$P100")"
IFS='|' read -r ghosts200 fit200 <<< "$(ghosts "$data/source-200/broad_monogap.txt" "$P200")"
predicted100=$(awk -v P="$P100" -v xmax="$xs" -v half="$image" 'BEGIN { for (m = 1; m * P + half < xmax; m++) printf "%s%.3f", (m > 1 ? ", " : ""), m * P }')
predicted200=$(awk -v P="$P200" -v xmax="$xs" -v half="$image" 'BEGIN { for (m = 1; m * P + half < xmax; m++) printf "%s%.3f", (m > 1 ? ", " : ""), m * P }')
n_image=$(calc "\"%.0f\", ($xs + $image) * 2 * $ws / ($lambda * $Lp)")
continuum_tail=$(awk '$1 >= 3 && $2 > m { m = $2 } END { printf "%.2e", m }' "$data/default/broad_monogap.continuum.txt")
table3=""
: > "$data/source.dat"
for N in 100 $source_counts; do
  dir=$data/source-$N
  [ "$N" = 100 ] && dir=$data/default
  read -r m x _ <<< "$(diffstat "$dir/broad_monogap.txt" "$data/default/broad_monogap.continuum.txt")"
  tail=$(awk '$1 >= 3 && $2 > m { m = $2 } END { printf "%.2e", m }' "$dir/broad_monogap.txt")
  table3+="| $N | $(period "$N") | $m | $x | $tail |"$'\n'
  echo "$N $m" >> "$data/source.dat"
done

# 4. Fringes of duogap: the first two dark fringes and the first bright one
# off the axis, within the central envelope.
fringe_row() {
  local minima maxima
  minima=$(extrema "$1" min 2.2)
  maxima=$(extrema "$1" max 2.2)
  local d1 d2
  d1=$(nth "$minima" 1) d2=$(nth "$minima" 2)
  echo "| $2 | $3 | $d1 | $d2 | $(calc "\"%.3f\", $d2 - $d1") | $(nth "$maxima" 1) |"
}
ideal=$(calc "\"%.3f\", $lambda * $L3 / $D")
table4=""
table4+="$(fringe_row "$data/default/duogap.txt" classic "default bench, program")"$'\n'
table4+="$(fringe_row "$data/default/duogap.continuum.txt" classic "default bench, continuum")"$'\n'
table4+="$(fringe_row "$data/fresnel/duogap.txt" fresnel "default bench, program")"$'\n'
table4+="$(fringe_row "$data/fresnel/duogap.continuum.txt" fresnel "default bench, continuum")"$'\n'
for model in classic fresnel; do
  table4+="$(fringe_row "$data/narrow-$model/duogap.continuum.txt" $model "slits $narrow wide, continuum")"$'\n'
done
for model in classic fresnel; do
  table4+="$(fringe_row "$data/lit-$model/duogap.continuum.txt" $model "first slit $lit wide, continuum")"$'\n'
done
# The light arriving on the upper slit of the pair from the first slit, by
# midpoint sums of 20000 points: modulus and phase at the slit's edges and
# centre, and the modulus-weighted centre of the slit (41 points across it),
# with the fringe spacing two points there would give.
illumination=$(awk -v k="$(calc "\"%.17g\", $k")" -v L="$L2" -v L3="$L3" -v we="$we" \
  -v lo="$(calc "\"%.17g\", $D / 2 - $wp / 2")" -v wp="$wp" -v lambda="$lambda" '
  function light(model, y,    j, s, phi, re, im) {
    re = 0; im = 0
    for (j = 0; j < 20000; j++) {
      s = -we / 2 + (j + 0.5) * we / 20000
      phi = model ? k * (s - y) ^ 2 / (2 * L) : k * (s * s - s * y) / L
      re += cos(phi); im += sin(phi)
    }
    modulus = sqrt(re * re + im * im) / 20000; phase = atan2(im, re)
  }
  BEGIN {
    for (model = 0; model < 2; model++) {
      line = model ? "| fresnel |" : "| classic |"
      for (i = 0; i <= 2; i++) { light(model, lo + i * wp / 2); line = line sprintf(" %.3f, %.2f |", modulus, phase) }
      sw = 0; swy = 0
      for (i = 0; i <= 40; i++) { y = lo + i * wp / 40; light(model, y); w = (i == 0 || i == 40) ? 0.5 : 1; sw += w * modulus; swy += w * modulus * y }
      printf "%s %.4f | %.3f |\n", line, swy / sw, lambda * L3 / (2 * swy / sw)
    }
  }')
# The classic chain as a textbook one (see the text): distances and scale.
L2e=$(calc "\"%.4g\", $L2 / 2")
L3e=$(calc "\"%.4g\", 1 / (8 / $L3 - 2 / $L2)")
xe=$(calc "\"%.4g\", 2 * (1 / (8 / $L3 - 2 / $L2)) / $L3")

# 5. The two models.
axis() { head -n 1 "$1" | awk '{ printf "%.5f", $2 }'; }
# |mean of exp(i a s^2)| over the first slit by a midpoint sum of 10^5 points.
quadrature_axis() {
  awk -v a="$1" -v we="$we" 'BEGIN {
    M = 100000
    for (j = 0; j < M; j++) { s = -we / 2 + (j + 0.5) * we / M; re += cos(a * s * s); im += sin(a * s * s) }
    printf "%.5f", sqrt(re * re + im * im) / M }'
}
axis_classic_q=$(quadrature_axis "$(calc "\"%.17g\", $k / $Lp")")
axis_fresnel_q=$(quadrature_axis "$(calc "\"%.17g\", $k / (2 * $Lp)")")
table5=""
for model in classic fresnel; do
  dir=$data/default
  [ $model = fresnel ] && dir=$data/fresnel
  for p in monogap duogap; do
    read -r m _ rms _ peak <<< "$(diffstat "$dir/$p.txt" "$dir/$p.continuum.txt")"
    q=""
    [ $p = monogap ] && { [ $model = classic ] && q=$axis_classic_q || q=$axis_fresnel_q; }
    table5+="| \`$p\` | $model | $(axis "$dir/$p.continuum.txt") | ${q:-—} | $(axis "$dir/$p.txt") | $m | $rms |"$'\n'
  done
done
# Classic at x against fresnel at half the distance at x/2: the half bench's
# screen is half as long, so its points are the classic ones halved.
halfcheck() {
  paste -d' ' "$1" "$2" | awk '
    function abs(v) { return v < 0 ? -v : v }
    NF != 4 || abs($1 / 2 - $3) > 1e-5 * (1 + abs($3)) {
      print "validation.sh: the half bench has other screen points" > "/dev/stderr"; bad = 1; exit 1
    }
    { d = abs($2 - $4); if (d > m) m = d; n++ }
    END { if (!bad) printf "%.1e %d", m, n }'
}
read -r half_continuum half_points <<< "$(halfcheck "$data/default/monogap.continuum.txt" "$data/fresnel-half/monogap.continuum.txt")"
read -r half_program _ <<< "$(halfcheck "$data/default/monogap.txt" "$data/fresnel-half/monogap.txt")"
[ "$half_program" = 0.0e+00 ] && half_program="0 (identical)"

# ---------------------------------------------------------------------------
# Plots.

cat > "$data/plots.gp" << EOF
set terminal pngcairo size 1200,760 font ",10"
set output "$figures/convergence.png"
set multiplot layout 2,3 title "Largest |sum − continuum| against samples per aperture N (equal on every aperture); dotted vertical: N*"
set logscale xy
set xrange [20:500]
set format y "10^{%T}"
set xlabel "N"
set grid
set key bottom left noenhanced
nstars = "${nstar[monogap]} ${nstar[duogap]} ${nstar[broad_monogap]} ${nstar[broad_duogap]} ${nstar[conv_monogap]} ${nstar[conv_duogap]}"
do for [i = 1:words("$programs_all")] {
  p = word("$programs_all", i)
  extra = (p eq "broad_duogap" || p eq "conv_duogap") ? " ($heavy_screen screen points)" : ""
  set title p . extra noenhanced
  le = "$data/convergence-" . p . "-left-edge.dat"
  mp = "$data/convergence-" . p . "-midpoint.dat"
  # The reference lines pass through the points of the largest N.
  set yrange [*:*]
  stats le using 1 nooutput
  last = STATS_max
  stats le using (\$1 == last ? \$2 : 0) nooutput
  e_le = STATS_max
  stats mp using (\$1 == last ? \$2 : 0) nooutput
  e_mp = STATS_max
  stats "< cat " . le . " " . mp using 1:2 nooutput
  set yrange [STATS_min_y / 3 : STATS_max_y * 3]
  n_star = real(word(nstars, i))
  unset arrow
  if (n_star > 20 && n_star < 500) { set arrow from n_star, graph 0 to n_star, graph 1 nohead dt 3 lc "black" }
  plot le using 1:2 with linespoints lw 2 pt 7 title "left-edge", \
       mp using 1:2 with linespoints lw 2 pt 5 dt 2 title "midpoint", \
       e_le * last / x with lines lc "gray50" dt 3 title "∝ 1/N", \
       e_mp * last**2 / x**2 with lines lc "gray30" dt 4 title "∝ 1/N²"
}
unset multiplot

set output "$figures/ghosts.png"
set terminal pngcairo size 1100,760 font ",10"
unset logscale
set format y "%g"
set multiplot layout 2,1
unset arrow
set autoscale y
set title "broad_monogap: sampled source strip against its continuum; arrows: predicted ghost centres m·λ(L2+L3)/(2Δ)" noenhanced
set xrange [0:$xs]
set yrange [0:*]
set xlabel "screen position x"
set ylabel "|f(x)|"
set key top right
do for [m = 1:4] { set arrow from m * $P100, graph 0 to m * $P100, graph 0.08 lc "blue" lw 2 }
do for [m = 1:2] { set arrow from m * $P200, graph 0 to m * $P200, graph 0.16 lc "red" lw 2 }
plot "$data/default/broad_monogap.txt" with lines lc "blue" title "100 source samples", \
     "$data/source-200/broad_monogap.txt" with lines lc "red" title "200 source samples", \
     "$data/source-600/broad_monogap.txt" with lines lc "dark-green" title "600 source samples", \
     "$data/default/broad_monogap.continuum.txt" with lines lc "black" dt 2 lw 2 title "continuum"
unset arrow
set title "Largest |sum − continuum| on [0, $xs) against source samples (100 on the slit)"
set xrange [0:750]
set yrange [*:*]
set logscale y
set format y "10^{%T}"
set xlabel "source samples"
set ylabel "max |difference|"
set arrow from $n_image, graph 0 to $n_image, graph 1 nohead dt 2
set arrow from ${nstar[broad_monogap]}, graph 0 to ${nstar[broad_monogap]}, graph 1 nohead dt 3
set label "first ghost's image\nbeyond x = $xs" at $n_image, graph 0.85 right offset -1,0
set label "ghosts leave\nthe strip" at ${nstar[broad_monogap]}, graph 0.85 left offset 1,0
plot "$data/source.dat" using 1:2 with linespoints lw 2 pt 7 notitle
unset multiplot

set output "$figures/models.png"
set terminal pngcairo size 1100,760 font ",10"
unset logscale
unset arrow
unset label
set format y "%g"
set multiplot layout 2,1
set title "monogap: the two phase models, 100 samples (solid) and continuum (dashed)"
set xrange [0:6]
set yrange [0:1]
set xlabel "screen position x"
set ylabel "|f(x)|"
plot "$data/default/monogap.txt" with lines lc "blue" title "classic", \
     "$data/default/monogap.continuum.txt" with lines lc "blue" dt 2 lw 2 title "classic continuum", \
     "$data/fresnel/monogap.txt" with lines lc "red" title "fresnel", \
     "$data/fresnel/monogap.continuum.txt" with lines lc "red" dt 2 lw 2 title "fresnel continuum"
set title "duogap: the same; ticks at the dark fringes of two points, (m + 1/2)·λL3/D"
set xrange [0:$xd]
set yrange [0:0.4]
do for [m = 0:6] { set arrow from (m + 0.5) * $ideal, graph 0 to (m + 0.5) * $ideal, graph 0.06 nohead lw 2 }
plot "$data/default/duogap.txt" with lines lc "blue" title "classic", \
     "$data/default/duogap.continuum.txt" with lines lc "blue" dt 2 lw 2 title "classic continuum", \
     "$data/fresnel/duogap.txt" with lines lc "red" title "fresnel", \
     "$data/fresnel/duogap.continuum.txt" with lines lc "red" dt 2 lw 2 title "fresnel continuum"
unset multiplot
EOF
gnuplot "$data/plots.gp"

# ---------------------------------------------------------------------------
# The report.

# The run time and load of the last full run; --report-only keeps them.
if [ $report_only = 0 ]; then
  awk -v t0="$start" -v t1="$EPOCHREALTIME" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
    'BEGIN { printf "%.0f %s\n", t1 - t0, load }' > "$data/run.txt"
fi
read -r elapsed load < "$data/run.txt"
cpu=$(awk -F': ' '/^model name/ { name = $2 } /^cpu family/ { f = $2 } /^model\t/ { m = $2 }
  END { printf "%s (family %s, model %s)", name, f, m; exit }' /proc/cpuinfo)
cores=$(nproc)
compiler=$(c++ --version | head -n 1)
commit=$(git rev-parse --short HEAD 2> /dev/null || echo unknown)

# Numbers the text quotes.
pair_zone=$(calc "\"%.2f\", $we * (1 - $L2 / (4 * $L1))")
ghost_at_pair=$(awk -v step="$(calc "\"%.17g\", $lambda * $L2 / (2 * $ws)")" \
  'BEGIN { for (N = 25; N <= 200; N *= 2) printf "%s%.2f", (N > 25 ? ", " : ""), N * step }')
a1=$(calc "\"%.3f\", $lambda * $L1 * ${default[source_samples]} / (2 * $ws)")
fresnel_classic=$(calc "\"%.2f\", ($we / 2) ^ 2 / ($lambda * $L2 / 2)")
fresnel_textbook=$(calc "\"%.2f\", ($we / 2) ^ 2 / ($lambda * $L2)")
fresnel_mono_classic=$(calc "\"%.2f\", ($we / 2) ^ 2 / ($lambda * $Lp / 2)")
fresnel_mono_textbook=$(calc "\"%.2f\", ($we / 2) ^ 2 / ($lambda * $Lp)")
minima_spacing=$(calc "\"%.3f\", $lambda * $Lp / $we")
Lpv=$(calc "\"%g\", $Lp")
# Spacing of the dark fringes i and i+1 of a file.
spacing() {
  local minima
  minima=$(extrema "$1" min 2.2)
  calc "\"%.3f\", $(nth "$minima" $(($2 + 1))) - $(nth "$minima" "$2")"
}

cat > "$report" << EOF
# Validation: the sampled sums against the integrals they sample

Every program adds phasors over N samples of each aperture. \`continuum PROGRAM\`
computes the same quantity on the same screen points for continuous
apertures: every mean over samples becomes the mean over the aperture,
evaluated in closed form on one aperture and by Gauss–Legendre quadrature
converged below 1e-14 on the others. The difference between the two is
therefore the error of sampling alone. The programs print six significant
digits, so differences below about 5e-7 of a value are not resolved.

Regenerated by \`bash scripts/validation.sh\` (section 6); edit the script,
not this file. Bench: wavelength λ = $lambda, source strip $ws wide, first
slit $we, double slit of two $wp slits with centres D = $D apart, distances
L1 = $L1, L2 = $L2, L3 = $L3 (source → first slit → double slit → screen).

## 1. The default bench

Classic phase, left-edge sampling, ${default[source_samples]} samples per
aperture, every screen point:

| program | points | largest continuum value | max \\|difference\\| | at x | RMS difference | max / largest value |
|---|---|---|---|---|---|---|
$table1
- \`monogap\`, \`duogap\`: the left-edge sum is the midpoint rule on an
  aperture shifted by half a step, an error of order 1/N (section 2).
- \`broad_monogap\`: the difference is as large as the pattern: the sampled
  source strip adds ghost copies of the central pattern every $P100 across
  the screen (section 3).
- \`broad_duogap\`: the source strip aliases here too, but its ghosts mostly
  miss the double slit (section 2).
- \`conv_monogap\`, \`conv_duogap\`: ${default[entrance_samples]} samples only just resolve the
  phase across the first slit for the outermost LED points (N* in section 2),
  so the error is larger than the 1/N law alone would give.

## 2. Convergence with the sample count

Every aperture gets the same count N. The screen is the default one (1000
points, \`monogap\` 10000) except for the two heavy programs, whose cost grows
as N³: they are computed on $heavy_screen screen points over [0, $xd), against their
continuum on the same points. Each cell is the largest |difference| over the
screen, with the observed order log2(e(N/2)/e(N)) in parentheses; left-edge
is order 1, midpoint order 2, once the sampling resolves the phase.

What "resolves" means: by Poisson summation, the sum over an aperture sampled
at step Δ is the integral plus ghost integrals that carry the extra phase
2πmu/Δ (m ≠ 0). A ghost has a stationary point, and then contributes at full
strength, where the summand's phase φ(u) has the slope 2πm/Δ, that is, where
φ changes by 2π or more from one sample to the next. Without such points the
ghosts contribute only at the aperture's edges, and these edge terms are the
1/N or 1/N² error. N* is the count at which the largest phase slope on the
limiting aperture, over all points of the other apertures and of the screen,
reaches 2π/Δ; the orders hold well above it.

| program | limiting aperture, N* | rule | N = 25 | 50 | 100 | 200 | 400 |
|---|---|---|---|---|---|---|---|
$table2
![Largest difference against N, log-log, both rules](validation/convergence.png)

- \`monogap\`, \`duogap\`: at N = 25 \`monogap\` lies below N*: the sum is
  exactly periodic in x with period λ(L2+L3)/Δ = $(calc "\"%.1f\", $lambda * $Lp * 25 / $we"), and its central band
  reappears inside the screen. Beyond that both converge as expected: orders
  1.00 and 2.0. (Midpoint \`monogap\` errs most at the screen's edge, where the
  phase slope is largest; the 2.93 from 50 to 100 is the tail of the repeat
  at $(calc "\"%.1f\", $lambda * $Lp * 50 / $we"), just beyond the screen.)
- \`broad_monogap\` (N* = ${nstar[broad_monogap]}): no convergence up to 400; the difference is
  the ghost images of section 3, as large for either rule (the ghost terms of
  the two rules differ only by a sign (−1)^m). With more than about 600
  source samples it falls to the first slit's own sampling error.
- \`broad_duogap\`: the source strip is as badly under-sampled, but the ghosts'
  light lands beside the double slit. In the classic chain the continuum's
  light reaches the double-slit plane only within |y| < w₁(1 − L2/(4L1)) =
  $pair_zone of the axis (w₁ the first slit's width), ghost m that band shifted by m·λL2/(2Δ):
  $ghost_at_pair for N = 25, 50, 100, 200, while the upper slit spans
  $(calc "\"%.3f\", $D / 2 - $wp / 2")–$(calc "\"%.3f\", $D / 2 + $wp / 2"). At N = 25 a ghost lies on the slits and the error
  exceeds the pattern; from N = 50 only the diffraction tails of the ghost
  beams reach the slits, and the error falls as they move away: irregularly,
  neither as 1/N nor as 1/N².
- \`conv_monogap\` (N* = ${nstar[conv_monogap]}), \`conv_duogap\` (N* = ${nstar[conv_duogap]}): the LED's points add as
  intensities, so nothing aliases across the source; the first slit must
  resolve the tilted wave from the outermost source points. Below N* the
  errors are of order one; above, the orders approach 1 and 2.

## 3. Ghost images in \`broad_monogap\`

At one first-slit point s the source sum is Σ_j exp(i c(d_j² − d_j s)), with
c = k/L1 (classic hop, k = 2π/λ) and d_j = −w_s/2 + jΔ, Δ = w_s/N. Poisson summation
writes it as Σ_m (1/Δ)∫ exp(i[c(d² − ds) − 2πm(d − d_0)/Δ]) dd. Completing the
square, term m has its stationary point at d = s/2 + a_m, a_m = πm/(cΔ) =
mλL1/(2Δ) ($a1·m at N = ${default[source_samples]}), and while that point lies in the strip it
equals the m = 0 term times exp(−iπms/Δ), up to a constant phase. That factor
tilts the wave on the first slit; the hop to the screen, k(s² − sx)/(L2+L3),
turns the tilt into a shift x → x + mλ(L2+L3)/(2Δ). The sampled pattern is
the continuum pattern repeated with the period

  P = λ(L2+L3)/(2Δ) = λ(L2+L3)N/(2w_s) = $P100 at N = 100, $P200 at N = 200.

Each ghost was fitted as the continuum's central pattern (x within ±$image, see below),
shifted to where it matches the sampled output best in least squares:

| source samples | Δ | ghost centres m·P, predicted | fitted | period: predicted, fitted (least squares through the axis) |
|---|---|---|---|---|
| 100 | $(calc "\"%g\", $ws / 100") | $predicted100 | $ghosts100 | $P100, $fit100 |
| 200 | $(calc "\"%g\", $ws / 200") | $predicted200 | $ghosts200 | $P200, $fit200 |

The fitted centres scatter by up to 0.12 about the prediction: each
ghost sits on the slowly falling tails of its neighbours (a few per cent of
its peak), which pulls its best fit; with the ghosts twice as far apart the
fit agrees within 0.02.

Getting rid of them. The central pattern is the image of the first slit: the
stationary point in s is s = −x/(2(L'/(4L1) − 1)) with L' = L2 + L3, so the
pattern reaches x = ±w₁(L'/(4L1) − 1) = ±$image. The first ghost's pattern leaves
[0, $xs) when P − $image > $xs, N > $n_image; the ghosts vanish altogether when their
stationary points leave the strip, a_1 > w_s/2 + w₁/4, N > ${nstar[broad_monogap]}, the N* of
section 2. Measured with 100 samples on the first slit:

| source samples | P | max \\|difference\\| on [0, $xs) | at x | largest \\|f\\| beyond x = 3 |
|---|---|---|---|---|
$table3
(The continuum's largest value beyond x = 3 is $continuum_tail.) About 500 source
samples push the ghosts off the screen; from 600 on their tails are gone too,
and what remains is the first slit's own left-edge error, which no longer
changes with the source count.

![broad_monogap with 100, 200 and 600 source samples against its continuum; largest difference against the source count](validation/ghosts.png)

## 4. Double-slit fringe spacing

Two points D = $D apart seen from L3 = $L3 give fringes λL3/D = $ideal apart.
Local minima and maxima of \`duogap\`, each placed by a parabola through
three points:

| model | data | first dark fringe | second | spacing | first bright fringe off the axis |
|---|---|---|---|---|---|
$table4
On the default bench the classic model's dark fringes are $(spacing "$data/default/duogap.continuum.txt" 1) apart
($(spacing "$data/default/duogap.continuum.txt" 2) from the second to the third), the fresnel (textbook) model's
$(spacing "$data/fresnel/duogap.continuum.txt" 1): both differ from $ideal, in opposite directions. Neither is a changed length scale. With y′ = y/2, the
classic chain's phase (k/L2)(s² − sy) + (k/L3)(y² − yx) equals the textbook
chain's k(s − y′)²/(2L2′) + k(y′ − x′)²/(2L3′), up to a phase of x alone, when
L2′ = L2/2 = $L2e, 1/L3′ = 8/L3 − 2/L2 (L3′ = $L3e) and x′ = 2L3′x/L3 = ${xe}x. So
classic \`duogap\` is the textbook pattern of a bench with a double slit of
half the size (centres $(calc "\"%g\", $D / 2") apart) $L2e behind the first slit and a screen $L3e
behind it, read at x′. Its two-point fringes, λL3′/(D/2) in x′, are exactly
λL3/D in x: the lens-like terms k(p² − q²)/(2L) rescale the bench but cancel
in the fringe spacing. Narrow slits ($narrow) show it: both models give $ideal.

What moves the fringes is how each $wp wide slit is lit. The first slit is
in its near field (Fresnel number (w₁/2)²/(λL2′) = $fresnel_classic in the classic chain,
(w₁/2)²/(λL2) = $fresnel_textbook in the textbook one), and the two chains light the upper
slit differently (modulus, phase of the mean wave from the first slit):

| model | inner edge | centre | outer edge | modulus-weighted centre | λL3/(2·centre) |
|---|---|---|---|---|---|
$illumination

In the classic chain the light grows toward the outer edge, the effective
centres of the two slits move apart and the fringes close up; in the
textbook chain it falls outward and they spread. The weighted centre
accounts for most of the shift, to first order in the slit width. Lit evenly,
by a first slit $lit wide, both models' dark fringes return to about $ideal
apart; the first bright fringe still sits inside $ideal, pulled in by
each slit's own falling envelope.

## 5. Classic and textbook phase side by side

Per hop, classic k·p(p − q)/L, textbook (\`fresnel\`) k(p − q)²/(2L); classic =
textbook + k(p² − q²)/(2L). For one slit, k(s² − sx)/L = k(s − x/2)²/(2·L/2) −
kx²/(4L): classic \`monogap\` at distance L' = $Lpv is the textbook pattern of
the same slit at L'/2, read at x/2 (for the sampled sums too, whose samples
are the same points). Checked on a textbook bench with both distances halved
and the screen ending at $(half "$xs"): over its $half_points points, the continuum differs from
the classic continuum at 2x by at most $half_continuum, the programs' printed values by
$half_program. The classic slit thus has twice the textbook Fresnel number,
(w₁/2)²/(λL'/2) = $fresnel_mono_classic against $fresnel_mono_textbook. On the axis both are the modulus of the mean
of exp(ias²) over the slit, a = k/L' (classic) or k/(2L') (fresnel):

| program | model | axis value, continuum | axis, direct midpoint sum (10⁵ points) | axis, program | max \\|difference\\| | RMS difference |
|---|---|---|---|---|---|---|
$table5
Far from the axis the two \`monogap\` patterns have their minima at the same
places, λL'/w₁ = $minima_spacing apart. The sampling error is about the same in
both models.

![monogap and duogap in both models, program and continuum](validation/models.png)

## 6. How this report was made

\`bash scripts/validation.sh\` builds the default bench in
\`build/validation-default\` and each of $((benches - 1)) variant benches in turn in
\`build/validation-variant\` (configure-time \`-DSLITS_...\` settings: sample
counts, \`SLITS_SAMPLING\`, \`SLITS_PHASE_MODEL\`, \`SLITS_SCREEN_COUNT=$heavy_screen\` for the
heavy series, the geometry changes of sections 4 and 5), runs the programs
and \`continuum\` in \`build/validation-data/<bench>/\` while the next bench
builds, computes every number with awk and draws the plots with gnuplot.
\`bash scripts/validation.sh --report-only\` rewrites this file and the plots
from the last run's data.

- Machine: $cpu, $cores cores, shared with other work (load average $load at the end)
- Compiler: $compiler; source at commit $commit
- Run time: $elapsed s wall clock, builds included
EOF
echo "validation: wrote $report and $figures/"
