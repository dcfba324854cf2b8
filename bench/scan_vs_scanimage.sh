#!/usr/bin/env bash
# The scan pipeline against scanimage, and the PDF step against img2pdf, in one run.
#  1. A 300 dpi colour page (80 x 100 mm, "Color pattern") from the SANE test device:
#     `folioray --call StartScan` (SANE -> clipboard DIB -> Image2 -> JPEG, quality 75)
#     against `scanimage --format=jpeg` (libjpeg's default quality, 75), each a fresh
#     process per round; median wall time and file size.
#  2. That JPEG to a one-page PDF: our libharu "Image.Stream" (bench_acquire, in process)
#     against img2pdf (in process through Python, and as a command); time and size.
# usage: bench/scan_vs_scanimage.sh [BUILD_DIR=build] [rounds=9]
set -euo pipefail
build=${1:-build}
rounds=${2:-9}
cmake --build "$build" --target folioray bench_acquire >/dev/null
cli="$build/apps/folioray/folioray"

work=$(mktemp -d "${TMPDIR:-/tmp}/folioray-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export SANE_CONFIG_DIR="$work/sane"
mkdir -p "$SANE_CONFIG_DIR" "$work/ours"
echo test >"$SANE_CONFIG_DIR/dll.conf"
printf 'number_of_devices 1\nresolution 300\n' >"$SANE_CONFIG_DIR/test.conf"

ms() {  # wall time of a command in milliseconds, output discarded
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }

ours=()
theirs=()
idle=()
for ((i = 0; i < rounds; i++)); do
  idle+=("$(ms "$cli" --get Quality)")
  ours+=("$(ms "$cli" --set "FilePath=$work/ours" --set Quality=75 --device test:0 \
    --scan-option mode=Color --scan-option "test-picture=Color pattern" \
    --scan-option resolution=300 --call StartScan)")
  theirs+=("$(ms scanimage -d test:0 --mode Color --test-picture "Color pattern" \
    --resolution 300 --format=jpeg -o "$work/scanimage.jpg")")
done
[ -s "$work/ours/scanx.jpg" ] || { echo "the folioray scan failed" >&2; exit 1; }
size() { stat -c %s "$1"; }
dims() { file "$1" | grep -o '[0-9]*x[0-9]*, components' | cut -d, -f1; }
echo "scan, 300 dpi colour page from the SANE test device ($rounds rounds, median):"
printf '  folioray StartScan      %6s ms  %9s bytes  %s\n' \
  "$(printf '%s\n' "${ours[@]}" | median)" "$(size "$work/ours/scanx.jpg")" "$(dims "$work/ours/scanx.jpg")"
printf '  scanimage --format=jpeg %6s ms  %9s bytes  %s\n' \
  "$(printf '%s\n' "${theirs[@]}" | median)" "$(size "$work/scanimage.jpg")" "$(dims "$work/scanimage.jpg")"
printf '  (folioray start and stop without a scan: %s ms)\n' "$(printf '%s\n' "${idle[@]}" | median)"
echo "in process (bench_acquire):"
"$build/bench/bench_acquire" --benchmark_filter='BM_ScanToJpeg|BM_SaneAcquire|BM_ClipboardDib' \
  --benchmark_min_time=0.5 2>/dev/null | grep '^BM_' | sed 's/^/  /'

jpeg="$work/ours/scanx.jpg"
echo
echo "PDF from that JPEG ($(size "$jpeg") bytes):"
FOLIORAY_BENCH_JPEG="$jpeg" "$build/bench/bench_acquire" --benchmark_filter=BM_JpegToPdf \
  --benchmark_min_time=0.5 2>/dev/null | grep BM_JpegToPdf | sed 's/^/  libharu Image.Stream (in process): /'
/usr/bin/python3 - "$jpeg" "$work/img2pdf.pdf" <<'PY'
import sys, time, img2pdf
src, dst = sys.argv[1], sys.argv[2]
n, start = 0, time.perf_counter()
while time.perf_counter() - start < 0.5 or n < 10:
    with open(dst, "wb") as f:
        f.write(img2pdf.convert(src))
    n += 1
took = (time.perf_counter() - start) / n * 1000
import os
print(f"  img2pdf (in process): {took:.3f} ms per PDF, {os.path.getsize(dst)} bytes, {n} runs")
PY
runs=()
for ((i = 0; i < rounds; i++)); do runs+=("$(ms img2pdf "$jpeg" -o "$work/img2pdf-cli.pdf")"); done
printf '  img2pdf command: %s ms (median, process start included), %s bytes\n' \
  "$(printf '%s\n' "${runs[@]}" | median)" "$(size "$work/img2pdf-cli.pdf")"
