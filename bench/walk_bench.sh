#!/usr/bin/env bash
# Times lorvek-grep over a tree of 10,000 small files (and 1,000 as the
# baseline) and prints files per second, so a per-file slowdown shows up as
# a falling rate. Usage: bench/walk_bench.sh [build-dir]
set -euo pipefail
build=${1:-build}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
make_tree() {  # $1 folder, $2 file count
  local dir=$1 n=$2
  mkdir -p "$dir"
  for ((i = 0; i < n; i++)); do
    sub="$dir/d$((i / 100))"
    [ -d "$sub" ] || mkdir -p "$sub"
    printf 'line one\r\nfile %d has the word needle here\r\nlast line\r\n' "$i" >"$sub/f$i.txt"
  done
}
make_tree "$root/small" 1000
make_tree "$root/large" 10000
rate() {  # $1 folder, $2 file count
  local start end
  start=$(date +%s.%N)
  "$build/lorvek-grep" --no-word needle "$1" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v n="$2" -v s="$start" -v e="$end" 'BEGIN { printf "%.0f", n / (e - s) }'
}
small=$(rate "$root/small" 1000)
large=$(rate "$root/large" 10000)
echo "1,000 files:  $small files/s"
echo "10,000 files: $large files/s"
awk -v a="$small" -v b="$large" 'BEGIN { printf "ratio 10k/1k: %.2f (1.00 = no per-file slowdown)\n", b / a }'
