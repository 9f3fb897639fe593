set xlabel 'x'
set ylabel 'temperatura'
set key top left
set grid
set style data lines
plot 'T.dat' using 1:2 with lines lw 2 title 'T analitico', 'T.dat' using 1:3 with points pt 7 title 'T numerico'
