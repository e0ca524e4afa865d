#!/usr/bin/env bash
# Starts `sarvo` as an owner would, under a real X server (run through xvfb-run) with a fresh settings
# folder: a window titled exactly "Sarvo" appears, the first start puts both launchers in place, and a
# second `sarvo` ends with 0 and leaves the first window the only one.
# Usage: owner_start_test.sh PATH_TO_SARVO
set -euo pipefail
sarvo=${1:?usage: $0 PATH_TO_SARVO}

home=$(mktemp -d /tmp/sarvo-owner.XXXXXX)
first=
cleanup() {
  local status=$?
  if [ -n "$first" ]; then
    kill "$first" 2>/dev/null
    wait "$first" 2>/dev/null || true  # ended by the signal
  fi
  rm -rf "$home"
  exit "$status"
}
trap cleanup EXIT
export SARVO_HOME=$home
export XDG_RUNTIME_DIR=$home/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The ids of the mapped windows titled exactly "Sarvo".
sarvo_windows() {
  xwininfo -root -tree | grep -F '"Sarvo": (' | awk '{print $1}' | while read -r id; do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
  done
}

fail() { echo "FAIL: $*" >&2; exit 1; }

# On a loaded machine the X server may still be starting when xvfb-run hands over.
for _ in $(seq 1 100); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

"$sarvo" >"$home/first.log" 2>&1 &
first=$!
for _ in $(seq 1 100); do
  [ -n "$(sarvo_windows)" ] && break
  kill -0 "$first" 2>/dev/null || fail "sarvo ended early: $(cat "$home/first.log")"
  sleep 0.1
done
[ "$(sarvo_windows | wc -l)" -eq 1 ] || fail "no window titled \"Sarvo\""

[ -f "$home/Desktop/sarvo.desktop" ] || fail "no desktop launcher"
[ -f "$home/applications/keldanworks/sarvo.desktop" ] || fail "no menu launcher"

status=0
timeout 20 "$sarvo" >"$home/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second sarvo ended with $status: $(cat "$home/second.log")"
kill -0 "$first" 2>/dev/null || fail "the first sarvo ended"
[ "$(sarvo_windows | wc -l)" -eq 1 ] || fail "not exactly one window titled \"Sarvo\""
echo "one window, both launchers, the second copy ended with 0"
