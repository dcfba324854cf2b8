#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests, the demo and the package
# need, on a machine that has only the base image. Idempotent: asks apt only for what is
# missing. `--list` prints the names and installs nothing (scripts/check-deps.sh reads it).
# Every package whose files the configure or the compile reads is named here, even when
# another one happens to pull it in: recommends are never installed.
set -euo pipefail
pkgs=(
  # toolchain and build
  build-essential cmake ninja-build pkg-config ccache clang-14 clang-format
  libc6-dev linux-libc-dev libstdc++-12-dev libgcc-12-dev libclang-common-14-dev
  libclang-rt-14-dev dpkg-dev file fakeroot strace
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # Qt widget, demo, Designer plugin and its tests (UiTools pulls in Qt6OpenGL's package)
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libqt6opengl6-dev
  libgl-dev libglx-dev libopengl-dev libvulkan-dev
  # adapters
  libsane-dev libsane1 sane-utils
  libturbojpeg0-dev libjpeg62-turbo-dev
  libcurl4-openssl-dev curl
  libhpdf-dev libpng-dev zlib1g-dev
  # web service (Beast over Asio, JSON; header-only)
  libboost-dev libboost1.74-dev nlohmann-json3-dev
  # test peers and tools
  python3 python3-pyftpdlib vsftpd openssl openssh-server openssh-client
  poppler-utils img2pdf valgrind
  # the web element's tests: Debian's browser, driven by node (puppeteer-core from npm)
  chromium nodejs
)
# Debian ships npm on its own; NodeSource's nodejs carries it and conflicts with Debian's.
command -v npm >/dev/null || pkgs+=(npm)
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${pkgs[@]}"
  exit 0
fi
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
