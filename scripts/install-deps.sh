#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config ccache clang-14 clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-tools-dev
  libsane-dev libsane1 sane-utils
  libturbojpeg0-dev libjpeg62-turbo-dev
  libcurl4-openssl-dev curl
  libhpdf-dev libpng-dev
  python3 python3-pyftpdlib
  poppler-utils img2pdf valgrind
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
