#!/usr/bin/env bash
# Runs a command on a private Xvfb (1920x1080, 24 bits, 96 dpi).
# With --wm, twm runs on it too.
set -u
wm=0
if [ "${1:-}" = "--wm" ]; then wm=1; shift; fi
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -dpi 96 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 1 100); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
if [ ! -s "$tmp/display" ]; then
  echo "with_xvfb: Xvfb did not start" >&2
  cat "$tmp/xvfb.log" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=":$(head -n1 "$tmp/display")"
twm_pid=
if [ $wm = 1 ]; then
  twm -f "$here/twmrc" >/dev/null 2>&1 &
  twm_pid=$!
fi
"$@"
status=$?
[ -n "$twm_pid" ] && kill "$twm_pid" 2>/dev/null
kill "$xvfb" 2>/dev/null
wait 2>/dev/null
rm -rf "$tmp"
exit $status
