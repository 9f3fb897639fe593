set xlabel 'x'
set ylabel 'deformacao'
set key bottom left
set grid
set style data lines
plot 'e.dat' using 1:2 with lines lw 2 title 'e analitico', 'e.dat' using 1:3 with points pt 7 title 'e numerico'
