set xlabel 'x'
set ylabel 'deslocamento'
set key top left
set grid
set style data lines
plot 'u.dat' using 1:2 with lines lw 2 title 'u analitico', 'u.dat' using 1:3 with points pt 7 title 'u numerico'
