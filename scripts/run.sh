#!/usr/bin/env bash
# Installs what is missing, builds, and runs a search. With no arguments it
# searches the bundled samples/ folder for a sample word.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
if [ $# -eq 0 ]; then
  set -- -r 検索 samples
fi
exec build/lorvek-grep "$@"
