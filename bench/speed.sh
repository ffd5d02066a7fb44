#!/usr/bin/env bash
# Times lorvek-grep against the read floor (cat over the tree), GNU grep and
# ripgrep (one run, and the four runs that together find every encoding) on
# the bench corpus and prints times and ratios. The commands of a row run
# interleaved (round after round, each command once a round) and the best of
# the rounds counts, so that a slow spell of the machine falls on all alike.
#
# Rows: five fixed strings with fuzzy and whole word off; the same word with
# the program's defaults (fuzzy and whole word on); two regular expressions
# without a leading fixed string; and a run of the desktop program that
# lists a common word's hits, with its peak memory beside lorvek-grep's.
#
#   bench/speed.sh [CORPUS]          CORPUS defaults to $TMPDIR/lorvek-bench/corpus
#
# A missing corpus is built with bench/make-corpus.py from the project's own
# text (MAKE_CORPUS names another builder, called with the corpus folder;
# NFILES makes a smaller one). LORVEK_OLD=path/to/lorvek-grep adds an older
# build as a column, for before/after tables; LORVEK_DESKTOP names the
# desktop program (default: beside lorvek-grep). Needs ripgrep.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-${TMPDIR:-/tmp}/lorvek-bench/corpus}"
lorvek="${LORVEK:-$here/build/lorvek-grep}"
desktop="${LORVEK_DESKTOP:-$(dirname "$lorvek")/lorvek}"
runs="${RUNS:-3}"
if [ ! -d "$corpus/tree" ]; then
  make_corpus="${MAKE_CORPUS:-$here/bench/make-corpus.py}"
  [ -x "$make_corpus" ] || { echo "no corpus at $corpus and no corpus builder $make_corpus" >&2; exit 2; }
  "$make_corpus" "$corpus"
fi
command -v rg >/dev/null || { echo "ripgrep (rg) is needed" >&2; exit 2; }
cd "$corpus/tree"

# interleaved CMD...: sets BEST[i] to the best wall time (seconds) of command i.
interleaved() {
  local n=$# r i s e t
  BEST=()
  for ((r = 0; r < runs; r++)); do
    i=0
    for cmd in "$@"; do
      s=$(date +%s.%N); bash -c "$cmd" >/dev/null 2>&1 || true; e=$(date +%s.%N)
      t=$(echo "$e - $s" | bc)
      if [ -z "${BEST[$i]:-}" ] || [ "$(echo "$t < ${BEST[$i]}" | bc)" = 1 ]; then BEST[$i]=$t; fi
      i=$((i + 1))
    done
  done
  for ((i = 0; i < n; i++)); do BEST[$i]=$(printf '%.2f' "${BEST[$i]}"); done
}
ratio() { echo "scale=2; $1 / $2" | bc; }

cat_cmd="find . -type f -print0 | xargs -0 cat"
header="| query | switches | cat | grep | rg | rg ×4 | lorvek-grep |"
[ -n "${LORVEK_OLD:-}" ] && header="$header old | old ×cat |"
echo "$header ×cat | ×rg×4 |"
echo "|---|---|---:|---:|---:|---:|---:|$( [ -n "${LORVEK_OLD:-}" ] && echo '---:|---:|')---:|---:|"
row() {  # query, lorvek switches, label
  local q="$1" sw="$2" label="$3" qq
  qq=$(printf '%q' "$q")
  local cmds=("$cat_cmd" "LC_ALL=C grep -r -n -E $qq . | cat" "rg -n --no-heading -H -e $qq . | cat"
              "for e in auto shift_jis euc-jp iso-2022-jp; do rg -n --no-heading -H -E \$e -e $qq .; done | cat"
              "$lorvek $sw -- $qq . | cat")
  [ -n "${LORVEK_OLD:-}" ] && cmds+=("$LORVEK_OLD $sw -- $qq . | cat")
  interleaved "${cmds[@]}"
  local line="| $q | $label | ${BEST[0]} | ${BEST[1]} | ${BEST[2]} | ${BEST[3]} | ${BEST[4]} |"
  [ -n "${LORVEK_OLD:-}" ] && line="$line ${BEST[5]} | $(ratio "${BEST[5]}" "${BEST[0]}") |"
  echo "$line $(ratio "${BEST[4]}" "${BEST[0]}") | $(ratio "${BEST[4]}" "${BEST[3]}") |"
}
for q in "ファイル" "全角" "socket" "検索|置換" "鵺鵺鵺"; do row "$q" "--no-word --no-fuzzy" "fixed"; done
row "ファイル" "" "defaults"
row "ファ.ル" "--no-word --no-fuzzy" "regex"
row "[0-9]+ファイル" "--no-word --no-fuzzy" "regex"

peak() {  # peak resident kB of a command
  local f
  f=$(mktemp)
  /usr/bin/time -f '%M' -o "$f" bash -c "$1" >/dev/null 2>&1 || true
  tail -1 "$f"
  rm -f "$f"
}
echo
echo "peak memory of lorvek-grep (ファイル): $(peak "$lorvek --no-word --no-fuzzy -- ファイル .") kB"

# The desktop program lists every hit of a common word and closes (/A: no
# confirmation, /H -: the hits as HTML on standard output), off screen.
if [ -x "$desktop" ]; then
  home=$(mktemp -d)
  desk="HOME=$home XDG_CONFIG_HOME=$home QT_QPA_PLATFORM=offscreen $desktop /K の /P . /A /H - | cat"
  grep_cmd="$lorvek -- の . | cat"
  interleaved "$desk" "$grep_cmd"
  echo "desktop run of の: ${BEST[0]} s, lorvek-grep の: ${BEST[1]} s, ratio $(ratio "${BEST[0]}" "${BEST[1]}")"
  echo "peak memory: desktop $(peak "$desk") kB, lorvek-grep $(peak "$grep_cmd") kB"
  rm -rf "$home"
fi
