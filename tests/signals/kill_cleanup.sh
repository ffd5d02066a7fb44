#!/bin/bash
# lorvek-grep told to end (SIGINT, SIGTERM, SIGHUP) at random moments of an
# archive search with a filter: no scratch folder and no child process may
# be left, and the exit status is 128 + the signal.
# Usage: kill_cleanup.sh LORVEK_GREP_BINARY ARCHIVE_FIXTURES [ROUNDS]
set -u
set -m  # jobs in their own groups, with SIGINT as a program gets it from a terminal
grep_bin=$1
fixtures=$2
rounds=${3:-6}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/tree" "$work/pids"
for i in 1 2 3 4 5 6; do
  cp "$fixtures/sample.tar" "$work/tree/s$i.tar"
  cp "$fixtures/sample.zip" "$work/tree/s$i.zip"
  printf 'cat %s\n' "$i" > "$work/tree/d$i.pdf"
done
# The filter records itself and a child of its own, then takes its time.
cat > "$work/filter.sh" <<FILTER
#!/bin/sh
echo \$\$ >> "$work/pids/list"
sleep 30 &
echo \$! >> "$work/pids/list"
sleep 0.3
cat "\$1"
FILTER
chmod +x "$work/filter.sh"

failures=0
signals=(INT TERM HUP)
for ((round = 0; round < rounds; ++round)); do
  sig=${signals[round % 3]}
  "$grep_bin" -z -m '*.txt;*.pdf' --filter "$work/filter.sh" --filter-masks '*.pdf' cat "$work/tree" \
    >/dev/null 2>&1 &
  pid=$!
  sleep "0.$((RANDOM % 9 + 1))"
  kill -s "$sig" "$pid"
  wait "$pid"
  status=$?
  case $sig in INT) want=130 ;; TERM) want=143 ;; HUP) want=129 ;; esac
  # A run that ended before the signal came is no failure of cleaning up.
  if [ "$status" != "$want" ] && [ "$status" != 0 ] && [ "$status" != 1 ]; then
    echo "round $round: SIG$sig gave exit status $status, not $want"
    failures=$((failures + 1))
  fi
  left=$(ls -A "$TMPDIR")
  if [ -n "$left" ]; then
    echo "round $round: SIG$sig left $left in the temporary folder"
    failures=$((failures + 1))
    rm -rf "${TMPDIR:?}"/*
  fi
  sleep 0.1
  if [ -f "$work/pids/list" ]; then
    while read -r child; do
      # A zombie is dead already, waiting for whoever adopted it to reap it.
      state=$(cut -d' ' -f3 "/proc/$child/stat" 2>/dev/null)
      if [ -n "$state" ] && [ "$state" != Z ]; then
        echo "round $round: SIG$sig left process $child running"
        kill -9 "$child"
        failures=$((failures + 1))
      fi
    done < "$work/pids/list"
    rm -f "$work/pids/list"
  fi
done
# An archive whose reader never returns: the reader goes with the program.
for sig in TERM INT; do
  LORVEK_TEST_ARCHIVE_HANG=spin "$grep_bin" -z -m '*.txt' cat "$work/tree/s1.zip" >/dev/null 2>&1 &
  pid=$!
  readers=
  for ((try = 0; try < 50; ++try)); do
    [ -n "$readers" ] && break
    sleep 0.1
    readers=$(pgrep -P "$pid")
  done
  if [ -z "$readers" ]; then
    echo "hanging reader: SIG$sig: no reader process seen"
    failures=$((failures + 1))
  fi
  kill -s "$sig" "$pid"
  wait "$pid"
  sleep 0.1
  for child in $readers; do
    state=$(cut -d' ' -f3 "/proc/$child/stat" 2>/dev/null)
    if [ -n "$state" ] && [ "$state" != Z ]; then
      echo "hanging reader: SIG$sig left process $child running"
      kill -9 "$child"
      failures=$((failures + 1))
    fi
  done
  if [ -n "$(ls -A "$TMPDIR")" ]; then
    echo "hanging reader: SIG$sig left $(ls -A "$TMPDIR") in the temporary folder"
    failures=$((failures + 1))
    rm -rf "${TMPDIR:?}"/*
  fi
done
[ "$failures" = 0 ] && echo "all $rounds rounds clean"
exit $((failures > 0))
