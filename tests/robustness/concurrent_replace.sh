#!/usr/bin/env bash
# Replace runs at once over one tree, each with a program folder of its own
# and a word of its own: every hit a run listed is written, or named in the
# run's report (changed meanwhile, a backup left alone), never passed over
# in silence.
#   tests/robustness/concurrent_replace.sh BUILD_DIR [ROUNDS]
set -uo pipefail
build=$(cd "${1:?usage: concurrent_replace.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-20}
work=$(mktemp -d "${TMPDIR:-/tmp}/lorvek-concurrent.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

one_round() {  # one_round RUNS ROUND
  local runs=$1 round=$2 tree="$work/tree" k
  rm -rf "$tree" && mkdir -p "$tree/sub"
  for f in $(seq 1 30); do
    local text=""
    for k in $(seq 1 "$runs"); do text+="line w$k of $f"$'\n'; done
    text+="w1 w2 w3 w4 w5 w6 w7 w8 all on one line"$'\n'
    printf '%s' "$text" >"$tree/f$f.txt"
    printf '%s' "$text" >"$tree/sub/g$f"
  done
  for k in $(seq 1 "$runs"); do
    # A folder of the run's own (nobody else may write it): its journal is there.
    mkdir -p "$work/prog$k" && chmod 700 "$work/prog$k" && cp "$build/lorvek-grep" "$work/prog$k/"
    rm -f "$work/prog$k/replace.journal"*
  done
  for k in $(seq 1 "$runs"); do
    XDG_CONFIG_HOME="$work/xdg$k" "$work/prog$k/lorvek-grep" --no-fuzzy --no-word --replace "W$k" "w$k" "$tree" >"$work/out$k" 2>"$work/err$k" &
  done
  wait
  local lost=0
  for k in $(seq 1 "$runs"); do
    # Each path the run listed as a hit that still holds the run's word
    # must be named in its report.
    while IFS= read -r path; do
      [ -f "$path" ] && grep -q "w$k" "$path" || continue
      if ! grep -qF "$path" "$work/err$k"; then
        echo "  round $round, run $k: $path kept w$k without a note" >&2
        lost=$((lost + 1))
      fi
    done < <(sed -n 's/^"\(.*\)" [0-9]*: .*/\1/p' "$work/out$k" | sort -u)
  done
  return "$lost"
}

for runs in 2 8; do
  total=0
  for round in $(seq 1 "$rounds"); do
    one_round "$runs" "$round"
    total=$((total + $?))
  done
  if [ "$total" -eq 0 ]; then
    printf '%-60s ok\n' "$runs runs at once, $rounds rounds: no hit passed over"
  else
    printf '%-60s FAIL\n' "$runs runs at once, $rounds rounds: $total hits passed over"
    failures=$((failures + 1))
  fi
done
exit "$failures"
