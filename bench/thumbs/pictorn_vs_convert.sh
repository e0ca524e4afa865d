#!/usr/bin/env bash
# Indexes 300 JPEGs of 12 megapixels (4000 x 3000) with pictorn and makes the same 120 x 120 previews
# with ImageMagick's `convert -thumbnail 120x120`, both over the same warm files, and prints:
#   - pictures per second of each, and pictorn / convert
#   - CPU time (user + system) per picture of each: unlike the rates it hardly changes when other
#     programs compete for the cores
#   - pictorn's peak RSS, and the peak RSS of the largest single convert process
# convert runs one process per picture, two at a time and each with one thread, so that both tools
# have both cores and ImageMagick's OpenMP threads do not spin against each other.
# The pictures are 10 distinct generated images (colour waves, blotches and fine grain, about 3.7 MB
# each at quality 90, like a camera's), each copied 30 times under its own name.
# Usage: bench/thumbs/pictorn_vs_convert.sh BUILD_DIR   (BUILD_DIR holds tools/pictorn/pictorn)
set -euo pipefail

build_dir=${1:?usage: $0 BUILD_DIR}
pictorn=$(realpath "$build_dir/tools/pictorn/pictorn")
distinct=${BENCH_DISTINCT:-10}
copies=${BENCH_COPIES:-30}
width=4000
height=3000

# ImageMagick's own binary as Debian installs it: a convert found earlier on PATH may be a wrapper
# whose start-up time would be charged to ImageMagick.
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=$(command -v convert || true)
for tool in vips python3 xargs; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install libvips-tools python3 findutils)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (apt-get install time)" >&2; exit 1; }
[ -n "$convert_bin" ] || { echo "missing convert (apt-get install imagemagick)" >&2; exit 1; }
[ -x "$pictorn" ] || { echo "no pictorn in $build_dir/tools/pictorn" >&2; exit 1; }

work=$(mktemp -d /tmp/sarvo-thumbs-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/gen" "$work/convert-out"

echo "Making $distinct distinct ${width}x${height} JPEGs, $copies copies each, in $work/photos"
for ((i = 0; i < distinct; i++)); do
  g="$work/gen"
  vips sines "$g/r.v" $width $height --hfreq $((i + 2)) --vfreq $((i % 4 + 1))
  vips sines "$g/g.v" $width $height --hfreq $((i % 3 + 1)) --vfreq $((i + 3))
  vips gaussnoise "$g/n.v" $width $height --sigma 400 --mean 0 --seed "$i"
  vips gaussblur "$g/n.v" "$g/b.v" 8
  vips bandjoin "$g/r.v $g/g.v $g/b.v" "$g/j.v"
  vips linear "$g/j.v" "$g/s.v" "80 80 1" "128 128 128"
  vips gaussnoise "$g/grain.v" $width $height --sigma 5 --mean 0 --seed $((i + 100))
  vips add "$g/s.v" "$g/grain.v" "$g/t.v"
  vips cast "$g/t.v" "$g/u.v" uchar
  vips jpegsave "$g/u.v" "$g/source.jpg" --Q 90
  for ((c = 0; c < copies; c++)); do
    cp "$g/source.jpg" "$work/photos/$(printf 'IMG_%02d%02d.JPG' "$i" "$c")"
  done
done
rm -rf "$work/gen"
count=$(find "$work/photos" -name '*.JPG' | wc -l)
echo "$count pictures, $(du -sh "$work/photos" | cut -f1) in all"
cat "$work/photos"/*.JPG >/dev/null  # both tools read from the page cache
# Both tools share the machine with whatever else runs; the ratio holds better than either figure.
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

seconds_of() { awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$1"; }
cpu_ms_per_picture() {
  awk -F': ' -v n="$2" '/User time|System time/ {s += $2} END {printf "%.0f", s * 1000 / n}' "$1"
}
peak_kib_of() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
ratio() { python3 -c "import sys; print('%.1fx' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
rate() { python3 -c "import sys; print('%.1f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

echo "== pictorn"
/usr/bin/time -v -o "$work/pictorn.time" "$pictorn" "$work/photos" 0 </dev/null
pictorn_seconds=$(seconds_of "$work/pictorn.time")
pictorn_peak=$(peak_kib_of "$work/pictorn.time")
entries=$(python3 - "$work/photos/pixindex.\$\$\$" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at = count = 0
while at + 284 <= len(data):
    at += 284 + struct.unpack_from('<I', data, at + 272)[0]
    count += 1
print(count)
PY
)
echo "index entries: $entries"

echo "== $convert_bin -thumbnail 120x120 (one process per picture, 2 at a time)"
MAGICK_THREAD_LIMIT=1 /usr/bin/time -v -o "$work/convert.time" sh -c '
  cd "$1" && find . -name "*.JPG" -print0 |
    xargs -0 -P 2 -I{} "$2" {} -thumbnail 120x120 "$3/{}.gif"' sh "$work/photos" "$convert_bin" "$work/convert-out"
convert_seconds=$(seconds_of "$work/convert.time")
convert_peak=$(peak_kib_of "$work/convert.time")
made=$(find "$work/convert-out" -name '*.gif' | wc -l)
echo "previews made: $made"

pictorn_cpu=$(cpu_ms_per_picture "$work/pictorn.time" "$count")
convert_cpu=$(cpu_ms_per_picture "$work/convert.time" "$count")
pictorn_rate=$(rate "$count" "$pictorn_seconds")
convert_rate=$(rate "$count" "$convert_seconds")
echo
echo "pictorn:  $pictorn_rate pictures/s ($pictorn_seconds s), $pictorn_cpu ms CPU per picture, peak RSS $((pictorn_peak / 1024)) MiB"
echo "convert:  $convert_rate pictures/s ($convert_seconds s), $convert_cpu ms CPU per picture, peak RSS of one process $((convert_peak / 1024)) MiB"
echo "pictorn / convert: $(ratio "$pictorn_rate" "$convert_rate") in pictures per second, $(ratio "$convert_cpu" "$pictorn_cpu") in CPU per picture"
[ "$entries" -eq "$count" ] && [ "$made" -eq "$count" ] || { echo "not every picture was processed" >&2; exit 1; }
