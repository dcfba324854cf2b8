#!/bin/bash
# Usage: run.sh SRC BUILD [ids...]. Puts each fault of faults.tsv alone into SRC, rebuilds
# BUILD, runs its tests and puts the file back; prints caught/missed per fault and a score.
set -u
src=$(realpath "$1") build=$(realpath "$2")
shift 2
list=$(dirname "$(realpath "$0")")/faults.tsv
file="" backup=$(mktemp) log=$(mktemp)
restore() { if [ -n "$file" ]; then cp "$backup" "$file"; file=""; fi; }
trap 'restore; rm -f "$backup" "$log"' EXIT
trap 'exit 130' INT TERM
caught=0 total=0 missed=""
# Runs the tests given; fails at the first failing one, whose name is then in $log.
suite() {
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j2 --timeout 300 --stop-on-failure \
        -LE "${MUTANTS_SKIP_LABELS:-install}" "$@" >"$log" 2>&1)
}
firstFailed() { grep -m1 -E 'Test +#[0-9]+: .*\*\*\*[A-Za-z]+' "$log" | sed -E 's/^[^#]*#[0-9]+: ([^ ]+).*/\1/'; }
while IFS=$'\t' read -r id hint what old new; do
  [[ -z "$id" || "$id" == \#* ]] && continue
  [[ $# -gt 0 && " $* " != *" $id "* ]] && continue
  pats=() && while read -r l; do pats+=(-e "$l"); done <<<"${old//⏎/$'\n'}"
  hits=$(git -C "$src" grep -lF --all-match "${pats[@]}" -- . ':!tests' ':!bench')
  [ -z "$hits" ] && echo "$id: not in this tree" && continue
  if [ "$(wc -w <<<"$hits")" != 1 ]; then echo "$id: BAD snippet (files: $hits)"; continue; fi
  file=$src/$hits
  cp "$file" "$backup"
  if ! /usr/bin/python3 - "$file" "$old" "$new" <<'PY'; then echo "$id: BAD snippet"; restore; continue; fi
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("⏎", "\n"), sys.argv[3].replace("⏎", "\n")
text = open(path).read()
sys.exit(1) if text.count(old) != 1 else open(path, "w").write(text.replace(old, new))
PY
  if ! cmake --build "$build" -j2 >/dev/null 2>&1; then
    echo "$id: BAD does not compile"
  else
    total=$((total + 1))
    if ! suite -R "$hint" || ! suite -E "$hint"; then
      caught=$((caught + 1)) && echo "$id: caught by $(firstFailed)"
    else
      missed="$missed $id" && echo "$id: MISSED ($what)"
    fi
  fi
  restore
done <"$list"
cmake --build "$build" -j2 >/dev/null 2>&1
echo "score: $caught of $total caught; missed:${missed:- none}"
