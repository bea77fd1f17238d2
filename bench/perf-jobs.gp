# Time of one pass against the number of jobs, the library's job document against the same
# document by hand with libxml2, pugixml and tinyxml2, log-log so that linear growth shows as a
# line of slope 1. Columns of the data: N, then W, B, P, T in ms.
#   gnuplot -e "data='jobs.dat'; output='perf-jobs.png'" bench/perf-jobs.gp
if (!exists("data")) data = 'build-bench/bench/results/jobs.dat'
if (!exists("output")) output = 'docs/perf-jobs.png'

set terminal pngcairo size 800,560 font ",11"
set output output
set title "Job document: write, serialise, parse, read back"
set xlabel "jobs (N)"
set ylabel "processor time per pass (ms)"
set logscale xy
set format x "10^{%L}"
set format y "10^{%L}"
set grid xtics ytics mxtics mytics
set key top left
set xrange [500:200000]
plot data using 1:2 with linespoints pt 7 lw 2 title "W(N): QIREdsXMLParser", \
     data using 1:3 with linespoints pt 5 lw 2 title "B(N): libxml2 by hand", \
     data using 1:4 with linespoints pt 9 lw 2 title "P(N): pugixml by hand", \
     data using 1:5 with linespoints pt 11 lw 2 title "T(N): tinyxml2 by hand"
