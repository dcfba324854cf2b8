#!/usr/bin/env bash
# Scans one page from the SANE test device into a fresh folder, once as JPEG and once as
# PDF, and prints the image facts and both file paths.
# usage: scripts/demo.sh [BUILD_DIR=build]
set -euo pipefail
build=${1:-build}
cli="$build/apps/folioray/folioray"
[ -x "$cli" ] || cmake --build "$build" --target folioray >/dev/null

out=$(mktemp -d "${TMPDIR:-/tmp}/folioray-demo-XXXXXX")
# Only the test backend, so the demo never probes real scanners or the network.
export SANE_CONFIG_DIR="$out/sane"
mkdir -p "$SANE_CONFIG_DIR" "$out/jpeg" "$out/pdf"
echo test >"$SANE_CONFIG_DIR/dll.conf"
printf 'number_of_devices 1\nresolution 150\n' >"$SANE_CONFIG_DIR/test.conf"

echo "Scanning from the SANE test device (test:0) into $out"
"$cli" --device test:0 \
  --scan-option "test-picture=Color pattern" --scan-option resolution=150 \
  --set "FilePath=$out/jpeg" --call StartScan --call Info \
  --get ImageWidth --get ImageHeight --get ImageSize \
  --set "FilePath=$out/pdf" --set SaveAsPDF=1 --call StartScan --get CurrentName

echo
echo "JPEG: $out/jpeg/scanx.jpg ($(stat -c %s "$out/jpeg/scanx.jpg") bytes)"
echo "PDF:  $out/pdf/scanx.pdf ($(stat -c %s "$out/pdf/scanx.pdf") bytes)"
if command -v pdfimages >/dev/null; then
  echo
  pdfimages -list "$out/pdf/scanx.pdf"
fi
