#!/usr/bin/env bash
# Whole word on the bench corpus: for each bench word, the lines lorvek-grep
# prints with its default switches (fuzzy and whole word on) against the
# lines a reference of the whole-word rule, written apart from the engine,
# accepts. Prints each word's counts; exits 1 when a line is missed or extra.
#
#   bench/whole_word.sh [CORPUS]     CORPUS as for bench/speed.sh
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-${TMPDIR:-/tmp}/lorvek-bench/corpus}"
build="${BUILD:-$here/build}"
if [ ! -d "$corpus/tree" ]; then
  make_corpus="${MAKE_CORPUS:-$here/bench/make-corpus.py}"
  "$make_corpus" "$corpus"
fi
[ -x "$build/bench/whole_word_check" ] || cmake --build "$build" --target whole_word_check >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
for word in ファイル 全角 検索 置換 socket 表示 漢字 日本語 read; do
  "$build/lorvek-grep" --show-encoding "$word" "$corpus/tree" >"$out" 2>/dev/null || true
  "$build/bench/whole_word_check" "$corpus/tree" "$word" "$out" || status=1
done
exit "$status"
