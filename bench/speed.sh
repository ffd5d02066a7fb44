#!/usr/bin/env bash
# Times lorvek-grep against the read floor (cat over the tree), GNU grep and
# ripgrep (one run, and the four runs that together find every encoding) on
# the bench corpus, interleaved, best of three, and prints times and ratios
# for the five queries of the bench page.
#
#   bench/speed.sh [CORPUS]          CORPUS defaults to $TMPDIR/lorvek-bench/corpus
#
# A missing corpus is built with bench/make-corpus.py from the project's own
# text (MAKE_CORPUS names another builder, called with the corpus folder;
# NFILES makes a smaller one). LORVEK_OLD=path/to/lorvek-grep adds
# an older build as a column, for before/after tables. Needs ripgrep.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/bench_lib.sh"
corpus="${1:-${TMPDIR:-/tmp}/lorvek-bench/corpus}"
lorvek="${LORVEK:-$here/build/lorvek-grep}"
runs="${RUNS:-3}"
if [ ! -d "$corpus/tree" ]; then
  make_corpus="${MAKE_CORPUS:-$here/bench/make-corpus.py}"
  [ -x "$make_corpus" ] || { echo "no corpus at $corpus and no corpus builder $make_corpus" >&2; exit 2; }
  "$make_corpus" "$corpus"
fi
command -v rg >/dev/null || { echo "ripgrep (rg) is needed" >&2; exit 2; }
cd "$corpus/tree"


queries=("ファイル" "全角" "socket" "検索|置換" "鵺鵺鵺")
cat_time=$(best "find . -type f -print0 | xargs -0 cat")
header="| query | cat | grep | rg | rg ×4 | lorvek-grep |"
[ -n "${LORVEK_OLD:-}" ] && header="$header old |"
echo "$header ×cat | ×rg×4 |"
echo "|---|---:|---:|---:|---:|---:|$( [ -n "${LORVEK_OLD:-}" ] && echo '---:|')---:|---:|"
for q in "${queries[@]}"; do
  qq=$(printf '%q' "$q")
  grep_t=$(best "LC_ALL=C grep -r -n -E $qq . | cat")
  rg_t=$(best "rg -n --no-heading -H -e $qq . | cat")
  rg4_t=$(best "for e in auto shift_jis euc-jp iso-2022-jp; do rg -n --no-heading -H -E \$e -e $qq .; done | cat")
  new_t=$(best "$lorvek --no-word --no-fuzzy -- $qq . | cat")
  row="| $q | $cat_time | $grep_t | $rg_t | $rg4_t | $new_t |"
  [ -n "${LORVEK_OLD:-}" ] && row="$row $(best "$LORVEK_OLD --no-word --no-fuzzy -- $qq . | cat") |"
  echo "$row $(echo "scale=2; $new_t / $cat_time" | bc) | $(echo "scale=2; $new_t / $rg4_t" | bc) |"
done
peak_file=$(mktemp)
/usr/bin/time -f '%M' -o "$peak_file" "$lorvek" --no-word --no-fuzzy -- ファイル . >/dev/null 2>&1 || true
peak=$(tail -1 "$peak_file")
rm -f "$peak_file"
echo
echo "peak memory of lorvek-grep (ファイル): ${peak} kB"
