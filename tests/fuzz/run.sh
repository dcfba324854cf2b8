#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time on a scratch copy of its seed
# corpus. Usage: tests/fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
set -uo pipefail
build=${1:?build dir}
seconds=${2:-15}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
for bin in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  seeds="$here/corpus/${name#fuzz_}"
  mkdir -p "$work/$name"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/$name/"
  log="$work/$name.log"
  if "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/$name-" "$work/$name" >"$log" 2>&1; then
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $name: ${runs:-?} executions, no finding"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FINDING"
    tail -n 40 "$log"
    for a in "$work/$name"-*; do [ -e "$a" ] && echo "input: $(od -An -c "$a" | head -c 600)"; done
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
