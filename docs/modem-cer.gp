# Draws docs/modem-cer.png from docs/modem-cer.dat (written by hf_modem_cer).
set terminal pngcairo size 900,600
set output 'modem-cer.png'
set title 'Skylark modem: character error rate, AWGN, 30 Hz off, 100 ppm clock error'
set xlabel 'SNR in 2500 Hz (dB)'
set ylabel 'character errors (%)'
set logscale y
set yrange [0.01:100]
set grid
set key outside right
set arrow from graph 0, first 2 to graph 1, first 2 nohead dashtype 2
plot for [i=0:6] 'modem-cer.dat' index i using 1:2 with linespoints title columnheader(2)
