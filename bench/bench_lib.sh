# Shared by the bench scripts: best() prints the best wall time in seconds
# of $runs runs of a shell command (output discarded).
best() {
  local cmd="$1" best=""
  for _ in $(seq "$runs"); do
    local s e t
    s=$(date +%s.%N); bash -c "$cmd" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  printf '%.2f' "$best"
}
