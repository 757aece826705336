#!/bin/bash
# Writes the outputs of a fixed set of zorvan commands on generated recordings
# into OUTDIR, so two builds can be compared byte for byte:
#   scripts/golden_outputs.sh /tmp/before build/zorvan
#   scripts/golden_outputs.sh /tmp/after  build/zorvan && diff -r /tmp/before /tmp/after
set -u
out=${1:?usage: golden_outputs.sh OUTDIR [ZORVAN]}
zorvan=$(realpath "${2:-build/zorvan}")
rm -rf "$out" && mkdir -p "$out/rec" && cd "$out" || exit 1
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

run() {  # run NAME ARGS...: stdout, stderr and exit status into NAME.*
  local name=$1; shift
  "$zorvan" "$@" >"$name.out" 2>"$name.err"
  echo $? >"$name.rc"
}

run synth-a   synth rec/a.bin --records 8 --coil realistic --lemi rec/LEMI --noise 0.05 --seed 3
run synth-b   synth rec/b.bin --records 5 --rate 62 --earth 30:500,300 --seed 4
run synth-r   synth rec/l.bin --records 6 --remote rec/r.bin --remote-delay 1 --noise 0.1 --seed 5
run synth-d   synth rec/d.bin --records 80 --seed 7
run synth-one synth rec/one.bin --records 1 --seed 6

for f in a b one; do
  run info-$f info rec/$f.bin --record 1 --records-per-plot 2
done
for w in none hanning hamming slepian; do
  run spectra-$w spectra rec/a.bin --window $w --records-per-plot 4
  run spectra-b-$w spectra rec/b.bin --window $w --records-per-plot 2 --record 2
  run mt-$w mt rec/a.bin --window $w --records-per-plot 8 --coeffs 128
  for t in ZXX ZXY ZYX ZYY; do cp rec/a_$t.dat mt-$w-$t.dat; done
done
run spectra-notch spectra rec/a.bin --notch --records-per-plot 8
run spectra-one spectra rec/one.bin
run mt-notch mt rec/a.bin --notch --records-per-plot 8 --coeffs 64 --quantity impedance
for t in ZXX ZXY ZYX ZYY; do cp rec/a_$t.dat mt-notch-$t.dat; done
run mt-coh mt rec/b.bin --records-per-plot 5 --coeffs 32 --quantity coherence --fit-order 5
for t in ZXX ZXY ZYX ZYY; do cp rec/b_$t.dat mt-coh-$t.dat; done
run mt-sims mt rec/a.bin --records-per-plot 4 --estimate zxy
run mt-one mt rec/one.bin --coeffs 64
run mt-remote mt rec/l.bin --records-per-plot 4 --record 2 --remote rec/r.bin --coeffs 64 --edi mt-remote.edi
(cd rec && run ../peaks peaks a.bin --records-per-plot 3 && mv PeakData.txt ../PeakData.txt)

run render-time    render rec/a.bin --out render-time.png --records-per-plot 3 --size 900x600
run render-filter  render rec/a.bin --out render-filter.png --filter 20 --subtract-poly --size 900x600
run render-fourier render rec/a.bin --out render-fourier.png --mode fourier --records-per-plot 4 --size 900x600
run render-mt      render rec/a.bin --out render-mt.png --mode mt --records-per-plot 8 --size 900x600
run render-one-mt  render rec/one.bin --out render-one-mt.png --mode mt --size 900x600

run save     save rec/a.bin --out save.bin
run save-f   save rec/a.bin --out save-f.bin --filter 5 --invert 1 --drop 5
run decimate decimate rec/d.bin --factor 40 --out decimate.bin
cp rec/a.bin seg.bin && run segment segment seg.bin --blocks 3
run concat   concat rec/b.bin rec/one.bin --out concat.bin
cp rec/l.bin l.bin && cp rec/r.bin r.bin && run sync sync l.bin r.bin
rm -f seg.bin l.bin r.bin
# Paths in messages name the output folder; make them relative.
sed -i "s|$PWD/||g" *.out *.err
