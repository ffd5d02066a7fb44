#!/usr/bin/env bash
# Times lorvek-grep searching a tree of 1,000 office documents (.docx,
# .xlsx, .pptx, .odt, .ods, .odp, .pdf, copied from tests/data/office)
# against reading their text with the usual tools (pdftotext for PDF,
# unzip -p of the XML parts for the rest), best of three, with the ratio.
#
#   bench/office.sh [TREE]      (default /tmp/lorvek-office-bench)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/bench_lib.sh"
tree="${1:-/tmp/lorvek-office-bench}"
lorvek="${LORVEK:-$here/build/lorvek-grep}"
runs="${RUNS:-3}"
for tool in pdftotext unzip bc; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

if [ ! -d "$tree" ]; then
  mkdir -p "$tree"
  kinds=(sample.docx sample.xlsx sample.pptx sample.odt sample.ods sample.odp sample.pdf)
  for i in $(seq 0 999); do
    kind=${kinds[$((i % ${#kinds[@]}))]}
    dir="$tree/d$((i / 100))"
    mkdir -p "$dir"
    cp "$here/tests/data/office/$kind" "$dir/${i}_$kind"
  done
fi


cd "$tree"
read_text="find . -name '*.pdf' -exec pdftotext -q {} - \\; ; find . -type f ! -name '*.pdf' -exec unzip -p -qq {} '*.xml' \\;"
tools_t=$(best "$read_text")
lorvek_t=$(best "$lorvek --no-word --no-fuzzy -m '*' -- 検索語 . | cat")
hits=$("$lorvek" --no-word --no-fuzzy -m '*' -- 検索語 . 2>/dev/null | wc -l)
echo "| documents | pdftotext + unzip -p | lorvek-grep | ratio |"
echo "|---:|---:|---:|---:|"
echo "| $(find . -type f | wc -l) | $tools_t | $lorvek_t | $(echo "scale=2; $lorvek_t / $tools_t" | bc) |"
echo "hit lines: $hits"
