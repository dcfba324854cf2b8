#!/usr/bin/env bash
# The scan pipeline against scanimage, and the PDF step against img2pdf, in one run.
#  1. Pages from the SANE test device ("Color pattern"): `folioray --call StartScan`
#     (SANE -> clipboard DIB -> Image2 -> JPEG, quality 75) against
#     `scanimage --format=jpeg` (libjpeg's default quality, 75) with the same options,
#     each a fresh process, paired and alternating (the order swaps every round).
#     Wall time, CPU time (user + system of the child, from wait4) and peak memory
#     (the child's ru_maxrss) as min / median / max, and the ratio of the medians.
#     Both tools write into the same folder: on disk (TMPDIR, else /tmp), and for the
#     reference page also on tmpfs (/dev/shm), where the working file's fsync costs nothing.
#     Cases: 300 dpi colour (80 x 100 mm, the reference page), 150 and 600 dpi colour,
#     300 dpi grey, a 10 x 10 mm stamp at 75 dpi (what a scan costs beyond its page); then
#     the full 200 x 200 mm bed at 150, 300 and 600 dpi, beside the page's raw 24-bit size
#     and the memory bound of 1.5 x raw + 30 MB; then the reference page once every 2.5 s,
#     as a user scans, with the machine idle in between. Peaks are ru_maxrss, which keeps
#     the launching Python's size (about 10 MB) across exec: a smaller peak does not show.
#     Then what the fsync of a file of the page's JPEG size costs in that folder, and what
#     holding the reference page in memory costs a fresh process (bench_hold_page): the least
#     any tool that keeps the page pays over scanimage, which compresses each line as it comes.
#  2. `folioray --get Quality` (start and stop, no scan) against scanimage's 300 dpi page.
#  3. In process (bench_acquire): scan to JPEG against a bare SANE read of the page plus a
#     bare tjCompress2 of it, in the same run; the working folder on disk, then on tmpfs.
#  4. That JPEG to a one-page PDF: our libharu "Image.Stream" (bench_acquire, in process)
#     against img2pdf (in process through Python, and as a command); time and size.
# usage: bench/scan_vs_scanimage.sh [BUILD_DIR=build] [rounds=15]
set -euo pipefail
build=${1:-build}
rounds=${2:-15}
cmake --build "$build" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/folioray-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Installed, as a user runs it: the build tree's run path names every adapter's folder, and
# the loader looks for each library in all of them.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cli="$work/prefix/bin/folioray"
export SANE_CONFIG_DIR="$work/sane"
mkdir -p "$SANE_CONFIG_DIR" "$work/ours"
shm=
if [ -d /dev/shm ] && shm=$(mktemp -d /dev/shm/folioray-bench-XXXXXX); then
  trap 'rm -rf "$work" "$shm"' EXIT
fi
echo test >"$SANE_CONFIG_DIR/dll.conf"
printf 'number_of_devices 1\nresolution 300\n' >"$SANE_CONFIG_DIR/test.conf"

/usr/bin/python3 - "$cli" "$work" "$rounds" "$shm" "$build/bench/bench_hold_page" <<'PY'
import os, signal, statistics, sys, time

cli, work, rounds, shm, hold = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]

def expired(signum, frame):
    raise TimeoutError

signal.signal(signal.SIGALRM, expired)
hangs = {}

def run(argv):
    """Wall seconds, CPU seconds and peak resident MB of one child process."""
    quiet = [(os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0),
             (os.POSIX_SPAWN_OPEN, 2, "/dev/null", os.O_WRONLY, 0)]
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=quiet)
    # The test backend's reader, cancelled at the wrong moment, can leave a lock of the C
    # library taken, and the process hangs (scanimage too): such a run is killed and repeated.
    signal.alarm(30)
    try:
        _, status, ru = os.wait4(pid, 0)
    except TimeoutError:
        os.kill(pid, signal.SIGKILL)
        os.wait4(pid, 0)
        hangs[argv[0]] = hangs.get(argv[0], 0) + 1
        return run(argv)
    finally:
        signal.alarm(0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    return wall * 1000, (ru.ru_utime + ru.ru_stime) * 1000, ru.ru_maxrss / 1024

BED = (200, 200)  # mm; None: the test device's default area, 80 x 100 mm

def folioray(mode, dpi, area, folder=work):
    args = [cli, "--set", f"FilePath={folder}/ours/", "--set", "Quality=75", "--device", "test:0",
            "--scan-option", f"mode={mode}", "--scan-option", "test-picture=Color pattern",
            "--scan-option", f"resolution={dpi}"]
    if area:
        args += ["--scan-option", f"br-x={area[0]}", "--scan-option", f"br-y={area[1]}"]
    return args + ["--call", "StartScan"]

def scanimage(mode, dpi, area, folder=work):
    args = ["scanimage", "-d", "test:0", "--mode", mode, "--test-picture", "Color pattern",
            "--resolution", str(dpi), "--format=jpeg", "-o", os.path.join(folder, "scanimage.jpg")]
    if area:
        args += ["-x", str(area[0]), "-y", str(area[1])]
    return args

def paired(a, b, n, pause=0.0):
    """n rounds of a and b, alternating which goes first; `pause` seconds idle before each."""
    ra, rb = [], []
    for i in range(n):
        for cmd, out in ((a, ra), (b, rb)) if i % 2 == 0 else ((b, rb), (a, ra)):
            time.sleep(pause)
            out.append(run(cmd))
    return ra, rb

def spread(values):
    return f"{min(values):7.1f} {statistics.median(values):7.1f} {max(values):7.1f}"

def column(results, k):
    return [r[k] for r in results]

def report(title, ours, theirs, raw_mb=None):
    print(title)
    print("                  wall ms (min med max)    CPU ms (min med max)     peak MB (min med max)")
    for name, rs in (("folioray", ours), ("scanimage", theirs)):
        print(f"  {name:<10} {spread(column(rs, 0))}  {spread(column(rs, 1))}  {spread(column(rs, 2))}")
    ratio = lambda k: statistics.median(column(ours, k)) / statistics.median(column(theirs, k))
    line = f"  ratio of medians: wall {ratio(0):.2f}x  CPU {ratio(1):.2f}x  memory {ratio(2):.2f}x"
    if raw_mb is not None:
        bound = 1.5 * raw_mb + 30
        peak = max(column(ours, 2))
        line += f"\n  raw page {raw_mb:.1f} MB, bound {bound:.1f} MB, folioray peak {peak:.1f} MB"
        line += " (within)" if peak <= bound else " (OVER)"
    print(line)

def dims(path):
    """Width and height from a JPEG's first SOF marker."""
    data = open(path, "rb").read()
    i = 2
    while i + 9 < len(data):
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    return 0, 0

def fsync_cost(folder, size, n=15):
    """Median ms that writing `size` bytes beside a file and renaming it gains from fsync."""
    data, times = os.urandom(size), {False: [], True: []}
    for i in range(2 * n):
        sync = i % 2 == 1
        start = time.perf_counter()
        with open(os.path.join(folder, "sync.tmp"), "wb") as f:
            f.write(data)
            f.flush()
            if sync:
                os.fsync(f.fileno())
        os.replace(os.path.join(folder, "sync.tmp"), os.path.join(folder, "sync.jpg"))
        times[sync].append((time.perf_counter() - start) * 1000)
    return statistics.median(times[True]) - statistics.median(times[False])

folders = [("disk", work)]
if shm:
    os.makedirs(os.path.join(shm, "ours"))
    folders.append(("tmpfs", shm))
cases = [(f"300 dpi colour, 80 x 100 mm, on {name}", "Color", 300, None, rounds, folder)
         for name, folder in folders]
cases += [(title, mode, dpi, area, n, work) for title, mode, dpi, area, n in [
         ("150 dpi colour, 80 x 100 mm", "Color", 150, None, rounds),
         ("600 dpi colour, 80 x 100 mm", "Color", 600, None, max(5, rounds // 2)),
         ("300 dpi grey, 80 x 100 mm", "Gray", 300, None, rounds),
         ("a stamp, 75 dpi colour, 10 x 10 mm: the cost of a scan beyond its page", "Color", 75,
          (10, 10), rounds),
         ("full bed 150 dpi colour, 200 x 200 mm", "Color", 150, BED, max(5, rounds // 3)),
         ("full bed 300 dpi colour, 200 x 200 mm", "Color", 300, BED, max(5, rounds // 3)),
         ("full bed 600 dpi colour, 200 x 200 mm", "Color", 600, BED, max(3, rounds // 5))]]
reference = None
for title, mode, dpi, area, n, folder in cases:
    ours, theirs = paired(folioray(mode, dpi, area, folder), scanimage(mode, dpi, area, folder), n)
    ours_dims = dims(os.path.join(folder, "ours", "scanx.jpg"))
    their_dims = dims(os.path.join(folder, "scanimage.jpg"))
    if ours_dims != their_dims:
        sys.exit(f"{title}: folioray stored {ours_dims}, scanimage {their_dims}")
    raw = ours_dims[0] * ours_dims[1] * 3 / 1e6 if area == BED else None
    report(f"{title}, {ours_dims[0]} x {ours_dims[1]} ({n} rounds each):", ours, theirs, raw)
    if reference is None:
        reference = theirs
        page_bytes = os.path.getsize(os.path.join(folder, "ours", "scanx.jpg"))
        dib_bytes = 40 + (ours_dims[0] * 3 + 3) // 4 * 4 * ours_dims[1]

# As a user scans, a page every few seconds: the machine idles between pages, and a virtual
# machine's host may take back the memory freed meanwhile.
pause, n = 2.5, max(5, rounds // 3)
ours, theirs = paired(folioray("Color", 300, None), scanimage("Color", 300, None), n, pause)
report(f"300 dpi colour, on disk, a page every {pause} s ({n} rounds each):", ours, theirs)

for name, folder in folders:
    print(f"fsync of a {page_bytes}-byte file before its rename, on {name}:"
          f" {fsync_cost(folder, page_bytes):.2f} ms (median)")

held, bare = paired([hold, str(dib_bytes)], [hold, "0"], 2 * rounds)
for k, what in ((0, "wall"), (1, "CPU")):
    cost = statistics.median(column(held, k)) - statistics.median(column(bare, k))
    print(f"holding the {dib_bytes}-byte reference page in a fresh process ({2 * rounds} rounds):"
          f" {what} {cost:.2f} ms = {cost / statistics.median(column(reference, k)):.2f}"
          f" of scanimage's page")

idle, page = paired([cli, "--get", "Quality"], scanimage("Color", 300, None), rounds)
med_idle = statistics.median(column(idle, 0))
med_page = statistics.median(column(page, 0))
print(f"folioray start and stop without a scan ({rounds} rounds): wall {spread(column(idle, 0))} ms,"
      f" CPU {spread(column(idle, 1))} ms")
print(f"  = {med_idle / med_page:.2f} of scanimage's 300 dpi page ({med_page:.1f} ms, same run)")
for program, count in hangs.items():
    print(f"{os.path.basename(program)} hung {count} times and was run again")
PY

in_process() {  # $1: where the working folder is, $2: that folder's parent
  echo
  echo "in process (bench_acquire, same run), working folder on $1:"
  TMPDIR=$2 timeout 300 "$build/bench/bench_acquire" \
    --benchmark_filter='BM_ScanToJpeg300|BM_BareSaneRead|BM_BareTjCompress|BM_SaneAcquire|BM_ClipboardDib' \
    --benchmark_min_time=1 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    2>/dev/null | tee "$work/inprocess.txt" | grep '_median' | sed 's/^/  /'
  awk '/_median/ { t[$1] = $2; c[$1] = $4; if (match($0, /process_cpu_ms=[0-9.]+/)) p[$1] = substr($0, RSTART + 15, RLENGTH - 15) }
    END {
      scan = t["BM_ScanToJpeg300dpi_median"]; sane = t["BM_BareSaneRead300dpi_median"];
      tj = t["BM_BareTjCompress300dpi_median"];
      if (scan && sane && tj)
        printf "  wall: scan to JPEG / (bare SANE read + bare tjCompress2) = %.2f / (%.2f + %.2f) = %.2fx\n",
          scan, sane, tj, scan / (sane + tj)
      scan = c["BM_ScanToJpeg300dpi_median"]; sane = c["BM_BareSaneRead300dpi_median"];
      tj = c["BM_BareTjCompress300dpi_median"];
      if (scan && sane && tj)
        printf "  CPU of the calling thread: %.2f / (%.2f + %.2f) = %.2fx\n",
          scan, sane, tj, scan / (sane + tj)
      scan = p["BM_ScanToJpeg300dpi_median"]; sane = p["BM_BareSaneRead300dpi_median"];
      if (scan && sane && tj)
        printf "  CPU of the whole process: %.2f / (%.2f + %.2f) = %.2fx\n",
          scan, sane, tj, scan / (sane + tj)
    }' "$work/inprocess.txt"
}
in_process disk "$work"
if [ -n "$shm" ]; then in_process tmpfs "$shm"; fi

jpeg="$work/ours/scanx.jpg"
size() { stat -c %s "$1"; }
ms() {  # wall time of a command in milliseconds, output discarded
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }
# The PDF step on the reference page.
"$cli" --set "FilePath=$work/ours/" --set Quality=75 --device test:0 --scan-option mode=Color \
  --scan-option "test-picture=Color pattern" --scan-option resolution=300 --call StartScan >/dev/null
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
for ((i = 0; i < 9; i++)); do runs+=("$(ms img2pdf "$jpeg" -o "$work/img2pdf-cli.pdf")"); done
printf '  img2pdf command: %s ms (median, process start included), %s bytes\n' \
  "$(printf '%s\n' "${runs[@]}" | median)" "$(size "$work/img2pdf-cli.pdf")"
