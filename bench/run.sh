#!/usr/bin/env bash
# Runs every benchmark of a build: the Google Benchmark programs, then the scripts that
# time the control against a peer tool in the same run. Usage: bench/run.sh BUILD_DIR
set -uo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for bin in "$build"/bench/bench_*; do
  [ -x "$bin" ] || continue
  case "$(basename "$bin")" in
    bench_upload) continue ;;  # driven by its script, which starts the server
  esac
  echo "== $(basename "$bin")"
  "$bin" --benchmark_min_time=0.5 || status=1
done
for script in "$here"/*.sh; do
  [ "$(basename "$script")" = run.sh ] && continue
  echo "== $(basename "$script")"
  bash "$script" "$build" || status=1
done
exit $status
