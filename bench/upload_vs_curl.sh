#!/usr/bin/env bash
# Uploads a file through ScanControl::UploadFile (with progress events) and with
# `curl -T` to the same local FTP server (pyftpdlib, and vsftpd when run as root, plain and
# over explicit TLS against `curl -T --ssl-reqd`) in one run, and prints both throughputs.
# The headless host runs every mode; the Qt widget (offscreen) runs once, in active mode.
# usage: bench/upload_vs_curl.sh [BUILD_DIR=build] [MiB=64] [rounds=7]
set -euo pipefail
build=${1:-build}
mib=${2:-64}
rounds=${3:-7}
cmake --build "$build" --target bench_upload >/dev/null
# A RAM-backed server root keeps disk writeback out of the comparison.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
servers=pyftpdlib
# vsftpd, as installed by scripts/install-deps.sh, needs root for its anonymous chroot.
if [ "$(id -u)" -eq 0 ] && [ -x /usr/sbin/vsftpd ]; then servers="pyftpdlib vsftpd vsftpd-tls"; fi
for server in $servers; do
  modes="1 0"
  # Active mode over TLS is refused where libcurl would send its data unencrypted.
  [ "$server" = vsftpd-tls ] && modes=1
  for mode in $modes; do
    "$build/bench/bench_upload" "$mib" "$rounds" "$mode" "$server"
    echo
  done
done
if grep -q '^FOLIORAY_QT:BOOL=ON' "$build/CMakeCache.txt"; then
  qt_server=pyftpdlib
  case " $servers " in *" vsftpd "*) qt_server=vsftpd ;; esac
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_upload" "$mib" "$rounds" 0 "$qt_server" qt
fi
