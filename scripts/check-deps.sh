#!/usr/bin/env bash
# Fails when the build reads a Debian package that scripts/install-deps.sh would not bring
# to a machine that has only the base image, so a green run here means a green run there.
# It traces what fresh configures open (with the compiler probes they run) and what the
# sanitizer and fuzzer links open, reads the headers each build compiled (ninja's deps
# log) and the files its commands name, maps them all to packages and compares them with
# the install list's dependency closure (no recommends) plus the base image's packages.
# Where a build holds test-exec.trace (make test runs the normal suite under strace),
# the programs the tests ran count too.
# usage: scripts/check-deps.sh BUILD_DIR... (INSTALL_DEPS=path checks another install list)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install_deps=${INSTALL_DEPS:-$root/scripts/install-deps.sh}
base_list=$root/scripts/base-image-packages.txt
[ $# -gt 0 ] || { echo "usage: $0 BUILD_DIR..." >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

traced() {
  local name=$1
  shift
  if ! strace -f -qq -e trace=openat,open,execve -e status=successful -o "$work/trace.$name" \
       "$@" >"$work/log.$name" 2>&1; then
    echo "check-deps: '$*' failed:" >&2
    tail -n 20 "$work/log.$name" >&2
    exit 1
  fi
}
traced configure cmake -S "$root" -B "$work/b-normal" -G Ninja -DFOLIORAY_WERROR=ON
traced configure-fuzz env CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$work/b-fuzz" -G Ninja \
  -DFOLIORAY_FUZZ=ON -DFOLIORAY_TESTS=OFF -DFOLIORAY_BENCH=OFF -DFOLIORAY_QT=OFF
printf 'int main() {}\n' >"$work/probe.cpp"
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
  >"$work/fuzz.cpp"
traced sanitizer-link g++ -fsanitize=address,undefined "$work/probe.cpp" -o "$work/probe"
traced fuzzer-link clang++-14 -fsanitize=fuzzer,address,undefined "$work/fuzz.cpp" -o "$work/fuzz"

# pkg-config reads every .pc file it can see; what a build takes from one shows in its
# headers and link lines below.
cat "$work"/trace.* | grep -o '"/[^"]*"' | tr -d '"' | grep -v '\.pc$' >"$work/paths"
for b in "$@"; do
  [ -f "$b/build.ninja" ] || { echo "check-deps: $b is not a ninja build" >&2; exit 2; }
  ninja -C "$b" -t deps | awk '/^    \//{print $1}' >>"$work/paths"
  ninja -C "$b" -t commands | grep -o '/usr/[^ ;:"'"'"']*' >>"$work/paths" || true
  if [ -f "$b/test-exec.trace" ]; then
    grep -o 'execve("/[^"]*"' "$b/test-exec.trace" | cut -d'"' -f2 >>"$work/paths" || true
  fi
done

# /lib and /usr/lib are one folder on a merged-/usr system; dpkg knows either name.
norm='{ k = $0; if (k ~ /^\/usr\/(lib|lib32|lib64|bin|sbin)\//) k = substr(k, 5) }'
sort -u "$work/paths" | grep -E '^/(usr|lib|lib64|bin|sbin|opt|etc)/' |
  while IFS= read -r p; do if [ -e "$p" ] && [ ! -d "$p" ]; then echo "$p"; fi; done >"$work/files"
awk 'FNR == 1 { pkg = FILENAME; sub(/.*\//, "", pkg); sub(/\.list$/, "", pkg); sub(/:.*/, "", pkg) }
     '"$norm"' { print k "\t" pkg }' /var/lib/dpkg/info/*.list | sort -u -k1,1 >"$work/owners"
awk "$norm"' { print k "\t" $0 }' "$work/files" | sort -u -k1,1 |
  join -t $'\t' - "$work/owners" | awk -F'\t' '{ print $3 "\t" $2 }' | sort -u -k1,1 >"$work/used"

bash "$install_deps" --list >"$work/wanted"
[ -s "$work/wanted" ] || { echo "check-deps: $install_deps --list named no package" >&2; exit 2; }
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances $(cat "$work/wanted") 2>/dev/null |
  grep -v '^ ' | tr -d '<>' >"$work/closure"
cat "$work/closure" "$work/wanted" "$base_list" | sed 's/:.*//' | sort -u >"$work/allowed"

missing=$(join -t $'\t' -v 1 "$work/used" "$work/allowed" || true)
# A -dev package whose files we read is named outright, not left to another's Depends.
unnamed=$(grep -P '^[^\t]*-dev\t' "$work/used" | join -t $'\t' -v 1 - <(sort -u "$work/wanted") || true)
used=$(wc -l <"$work/used")
if [ -n "$missing$unnamed" ]; then
  [ -z "$missing" ] || echo "check-deps: the build or its tests use packages that scripts/install-deps.sh does not bring:"
  printf '%s\n' "$missing" | awk -F'\t' 'NF { printf "  %-28s e.g. %s\n", $1, $2 }'
  [ -z "$unnamed" ] || echo "check-deps: scripts/install-deps.sh should name these -dev packages the build uses:"
  printf '%s\n' "$unnamed" | awk -F'\t' 'NF { printf "  %-28s e.g. %s\n", $1, $2 }'
  exit 1
fi
echo "check-deps: all $used packages the build and its tests use come with the install list or the base image"
