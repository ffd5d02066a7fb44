#!/usr/bin/env bash
# Builds the Debian package, installs it (as root), runs the installed
# programs on the bundled samples, and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/lorvek_*_amd64.deb | head -1)
apt-get install -y -qq "./$deb" >/dev/null
trap 'dpkg -r lorvek >/dev/null' EXIT
/usr/bin/lorvek-grep --version
/usr/bin/lorvek-grep --no-word 検索 samples >/dev/null
# A headless run of the installed desktop program: its hit list on stdout.
# An installed program keeps its files in the per-user folder, never in /usr/bin.
home=$(mktemp -d)
hits=$(cd /tmp && HOME="$home" QT_QPA_PLATFORM=offscreen /usr/bin/lorvek /K 検索 /A /T - /P "$OLDPWD/samples" | wc -l)
test ! -e /usr/bin/LOG.TXT
test -f "$home/.config/lorvek/LOG.TXT"
rm -rf "$home"
[ "$hits" -gt 0 ] || { echo "the installed lorvek found nothing" >&2; exit 1; }
test -f /usr/share/applications/lorvek.desktop
test -f /usr/share/lorvek/help/index.html
echo "package check: installed, searched ($hits hits), removed"
