#!/usr/bin/env bash
# Set-up, build and run stikkel: ./run.sh [stikkel options]
# With DISPLAY set it runs there; otherwise on a private Xvfb with twm.
set -euo pipefail
STIKKEL_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$STIKKEL_ROOT/scripts/setup.sh"
stikkel_install_packages
stikkel_build "$STIKKEL_ROOT/build" stikkel >&2
bin="$STIKKEL_ROOT/build/stikkel"

if [ -n "${DISPLAY:-}" ]; then
  exec "$bin" "$@"
fi

work=$(mktemp -d /tmp/stikkel-run.XXXXXX)
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
twm -f "$STIKKEL_ROOT/tests/support/twmrc" >/dev/null 2>&1 &
twm=$!
cleanup() {
  # Let stikkel end first (it may be saving), then its display.
  if [ -n "${app:-}" ]; then
    kill -TERM "$app" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  fi
  kill "$twm" "$xvfb" 2>/dev/null
  wait 2>/dev/null || true
}
trap 'cleanup; exit 130' INT TERM
"$bin" "$@" &
app=$!
echo "stikkel runs on the private display $DISPLAY (Ctrl-C ends it)" >&2
# Screenshot once the control window is up (bounded wait).
for _ in $(seq 1 100); do
  kill -0 "$app" 2>/dev/null || break
  xwininfo -root -tree 2>/dev/null | grep -q '"stikkel"' && break
  sleep 0.1
done
sleep 0.5
if kill -0 "$app" 2>/dev/null; then
  shot="$work/screenshot.png"
  xwd -root -silent | convert xwd:- "$shot" && echo "screenshot: $shot" >&2
fi
set +e
wait "$app"
status=$?
app=
cleanup
exit $status
