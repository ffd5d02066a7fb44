#!/usr/bin/env bash
# Robustness of lorvek-grep against huge and hostile inputs: trees and files
# too big to hold, deep trees, pathological words, a log file that is a trap.
#   tests/robustness/run.sh BUILD_DIR          the short form (under 3 minutes)
#   tests/robustness/run.sh BUILD_DIR --long   bigger inputs, by hand
# Each case prints "ok" or "FAIL"; the exit status is the number of failures.
set -uo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [--long]}" && pwd)
long=${2:-}
grep_bin="$build/lorvek-grep"
work=$(mktemp -d "${TMPDIR:-/tmp}/lorvek-robust.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

say() { printf '%-60s %s\n' "$1" "$2"; }
check() {  # check NAME CONDITION-EXIT-STATUS
  if [ "$2" -eq 0 ]; then say "$1" ok; else say "$1" FAIL; failures=$((failures + 1)); fi
}
# Peak resident memory (kB) and seconds of a command; its stdout goes to $work/out.
measure() {
  /usr/bin/time -f '%M %e' -o "$work/time" "$@" >"$work/out" 2>"$work/err"
  status=$?
  read -r peak_kb seconds < <(tail -n 1 "$work/time")  # (time adds a line for a failed command)
}

scale=1
[ "$long" = --long ] && scale=10

# --- A tree full of hits: the first line comes at once ---------------------
mkdir -p "$work/tree"
line=$(printf 'a hit here %.0s' 1)
for d in $(seq 1 $((20 * scale))); do
  mkdir -p "$work/tree/d$d"
  for f in $(seq 1 100); do
    yes "$line" | head -n 2000 >"$work/tree/d$d/f$f.txt"
  done
done
start=$(date +%s.%N)
first=$("$grep_bin" --no-word hit "$work/tree" | head -n 1)
end=$(date +%s.%N)
elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
# Against the whole run over the same tree, on the same machine at the same
# moment: a busy machine slows both alike.
measure "$grep_bin" --no-word hit "$work/tree"
whole=$seconds
awk -v f="$elapsed" -v w="$whole" 'BEGIN { exit !(f * 4 < w) }'
check "first hit of a big tree through head -1 ($elapsed s, whole run $whole s)" $?
[ -n "$first" ]
check "  ... and it is a hit line" $?

# --- Files too big to hold: memory stays under 200 MB ----------------------
yes "line of plain text without the word, repeated many times over" | head -c $((300 * scale))M >"$work/big.txt"
echo "the needle line" >>"$work/big.txt"
measure "$grep_bin" --no-word needle "$work/big.txt"
[ "$status" -eq 0 ] && [ "$peak_kb" -lt 204800 ] && grep -q "needle line" "$work/out"
check "$((300 * scale)) MB text file: found, peak ${peak_kb} kB" $?

truncate -s $((2 * scale))G "$work/sparse.bin"
printf 'needle at the end\n' >>"$work/sparse.bin"
measure "$grep_bin" --no-word needle "$work/sparse.bin"
[ "$status" -eq 0 ] && [ "$peak_kb" -lt 204800 ] && grep -q "needle at the end" "$work/out"
check "$((2 * scale)) GB sparse file of NULs: found, peak ${peak_kb} kB" $?

mkdir -p "$work/oneline"
head -c $((200 * scale))M /dev/zero | tr '\0' 'x' >"$work/oneline/a-long.txt"
printf ' needle\n' >>"$work/oneline/a-long.txt"
measure "$grep_bin" --no-word needle "$work/oneline/a-long.txt"
[ "$status" -eq 0 ] && [ "$(wc -l <"$work/out")" -eq 1 ] && [ "$peak_kb" -lt 204800 ] && grep -q "x needle" "$work/out"
check "one $((200 * scale)) MB line: found, printed cut (peak ${peak_kb} kB)" $?

# Little memory: the long line is searched in windows all the same.
echo "needle in a small file" >"$work/oneline/b-small.txt"
(ulimit -v 400000 && "$grep_bin" --no-word needle "$work/oneline" >"$work/out" 2>"$work/err")
status=$?
[ "$status" -eq 0 ] && grep -q "b-small.txt" "$work/out" && grep -q "a-long.txt" "$work/out"
check "400 MB of address space: the long line and a small file both found" $?
rm -rf "$work/big.txt" "$work/sparse.bin" "$work/oneline"

# --- Deep trees: long paths and few descriptors lose nothing ---------------
deep="$work/deep"
mkdir -p "$deep"
cd "$deep"
levels=$((1300 * (scale > 1 ? 2 : 1)))
# Deeper than a path can name; a hit every 100 levels, the walk coming back
# up to each one after the levels below it.
for i in $(seq 1 "$levels"); do
  mkdir folder && cd folder
  [ $((i % 100)) -eq 0 ] && echo "needle at $i" >hit.txt
done
echo "needle at the bottom" >bottom.txt
cd "$work"
for fds in 64 1024; do
  (ulimit -n $fds && "$grep_bin" --no-word needle "$deep" >"$work/out" 2>"$work/err")
  [ $? -eq 0 ] && grep -q "bottom.txt" "$work/out" && [ "$(wc -l <"$work/out")" -eq $((levels / 100 + 1)) ]
  check "$levels levels with $fds descriptors: every hit found" $?
done

long_dir="$work/long"
mkdir -p "$long_dir"
cd "$long_dir"
name=$(printf 'n%.0s' $(seq 1 200))
for i in $(seq 1 30); do mkdir "$name$i" && cd "$name$i"; done
echo "needle beyond PATH_MAX" >leaf.txt
cd "$work"
"$grep_bin" --no-word needle "$long_dir" >"$work/out" 2>"$work/err"
[ $? -eq 0 ] && grep -q "leaf.txt" "$work/out"
check "a file below a path of 6,000 bytes found" $?

# --- Words that must not take minutes -------------------------------------
printf 'xxcat%.0s' $(seq 1 80000) >"$work/longline.txt"
echo >>"$work/longline.txt"
# Bounds on time are ratios to a plain search of the same text, run beside
# them: what they guard against is a cost of a higher order (seconds where
# milliseconds are due), not a slow machine.
measure "$grep_bin" --no-word cat "$work/longline.txt"
plain=$seconds
ratio_below() { awk -v s="$1" -v p="$2" -v r="$3" 'BEGIN { exit !(s < (p + 0.05) * r) }'; }
measure timeout 60 "$grep_bin" 'cat|cat.*q' "$work/longline.txt"
[ "$status" -eq 1 ] && ratio_below "$seconds" "$plain" 50
check "whole word over a 400 kB line of rejected hits ($seconds s, plain $plain s)" $?

yes "alpha beta gamma delta" | head -n 20000 >"$work/terms.txt"
measure "$grep_bin" --no-word beta "$work/terms.txt"
plain=$seconds
terms=$(for i in $(seq 1 40); do printf 'alpha&'; done)beta
measure timeout 60 "$grep_bin" "$terms" "$work/terms.txt"
[ "$status" -eq 0 ] && ratio_below "$seconds" "$plain" 100
check "41 AND terms over 20,000 lines ($seconds s, one term $plain s)" $?

pattern=$(printf '(.*x)%.0s' $(seq 1 3334))
measure timeout 60 "$grep_bin" --no-fuzzy "$pattern" "$work/terms.txt"
[ "$status" -eq 2 ] && ratio_below "$seconds" "$plain" 100 && grep -q "複雑すぎます" "$work/err"
check "a 16,000-character pattern refused as too complex ($seconds s)" $?

# --- LOG.TXT that is a trap ------------------------------------------------
# lorvek-grep logs beside itself: a copy in a folder of our own.
mkdir -p "$work/prog"
cp "$grep_bin" "$work/prog/"
echo "precious" >"$work/precious.txt"
ln -s "$work/precious.txt" "$work/prog/LOG.TXT"
printf 'x\x80y\n' >"$work/bad.txt"  # a conversion failure to log
printf '\xe3\x81\x82\xe3\x81\x82\xe3\x81\x82 ok\n' >>"$work/bad.txt"
"$work/prog/lorvek-grep" --no-word ok "$work/bad.txt" >/dev/null 2>&1
[ "$(cat "$work/precious.txt")" = precious ]
check "a LOG.TXT link is not followed" $?
rm "$work/prog/LOG.TXT"
mkfifo "$work/prog/LOG.TXT"
timeout 10 "$work/prog/lorvek-grep" --no-word ok "$work/bad.txt" >/dev/null 2>&1
[ $? -ne 124 ]
check "a LOG.TXT FIFO does not hang the run" $?

# --- An undo journal planted by somebody else -----------------------------
# Another user who may write the journal (or the folder it lies in) names a
# file they may read and, as its backup, a secret: the undo must refuse it.
own="$work/own"
mkdir -p "$own" && chmod 755 "$own"
cp "$grep_bin" "$own/"
echo "readable cat" >"$work/readable.txt"
echo "secret" >"$work/secret" && chmod 600 "$work/secret"
"$own/lorvek-grep" --no-word --replace dog cat "$work/readable.txt" >/dev/null 2>&1
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
awk -v b="$(hex "$work/secret")" '$1 == "W" { $3 = b } { print }' "$own/replace.journal" >"$own/planted"
mv "$own/planted" "$own/replace.journal"
rm -f "$work/readable.bak"
if [ "$(id -u)" -eq 0 ]; then chown 65534:65534 "$own/replace.journal"; else chmod 666 "$own/replace.journal"; fi
"$own/lorvek-grep" --undo-replace >/dev/null 2>"$work/err"
status=$?
[ "$status" -eq 2 ] && grep -q "置換の記録を信頼できない.*replace.journal" "$work/err" &&
  [ "$(cat "$work/secret")" = secret ] && [ "$(cat "$work/readable.txt")" = "readable dog" ]
check "a journal of another owner is refused by name" $?
chmod 777 "$own"  # a folder anybody may write is not the settings folder
XDG_CONFIG_HOME="$work/xdg" "$own/lorvek-grep" --undo-replace >/dev/null 2>&1
status=$?
[ "$status" -eq 1 ] && [ "$(cat "$work/secret")" = secret ] && [ -d "$work/xdg/lorvek" ] &&
  [ "$(stat -c %a "$work/xdg/lorvek")" = 700 ]
check "a program folder others may write keeps no settings" $?

echo "failures: $failures"
exit "$failures"
