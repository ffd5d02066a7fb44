#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lorvek. With no arguments it
# searches the bundled samples/ folder for a sample word at once. Without a
# display the same search runs off screen and prints the hit list.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
if [ $# -eq 0 ]; then
  set -- /K 検索 /P "$PWD/samples" /A
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  QT_QPA_PLATFORM=offscreen exec build/lorvek "$@" /H -
fi
exec build/lorvek "$@"
