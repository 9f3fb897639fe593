set xlabel 'x'
set ylabel 'tensao'
set key top left
set grid
set style data lines
plot 's.dat' using 1:2 with lines lw 2 title 's analitico', 's.dat' using 1:3 with points pt 7 title 's numerico'
