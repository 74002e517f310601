#!/usr/bin/env bash
# Makes doc/screenshot_192dpi.png: a note in Latin, Greek, Cyrillic, CJK and
# emoji, drawn by stikkel in C.UTF-8 on a private Xvfb at 192 dpi with twm.
#   doc/make_screenshot_192dpi.sh [path/to/stikkel [out.png]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/stikkel}
out=${2:-$root/doc/screenshot_192dpi.png}
convert=/usr/bin/convert  # ImageMagick's own
width=1000
height=560

work=$(mktemp -d /tmp/stikkel-shot.XXXXXX)
xvfb= twm= app=
cleanup() {
  if [ -n "$app" ]; then kill -KILL "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  for pid in $twm $xvfb; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a command until it succeeds, for at most $1 tenths of a second.
poll() {
  local tries=$1
  shift
  for _ in $(seq 1 "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "make_screenshot_192dpi: timed out waiting for: $*" >&2
  return 1
}
shot() { xwd -root -silent >"$1"; }
still() { shot "$work/a.xwd"; sleep 0.1; shot "$work/now.xwd"; cmp -s "$work/a.xwd" "$work/now.xwd"; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 ${width}x${height}x24 -dpi 192 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
poll 100 test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
twm -f "$root/tests/support/twmrc" >/dev/null 2>&1 &
twm=$!
poll 100 sh -c 'xwininfo -root -children | grep -Eq "^ *[1-9][0-9]* child"'
xsetroot -solid '#4f6f7f'

export HOME=$work/home LC_ALL=C.UTF-8
mkdir -p "$HOME/.tackonnotes"
unset XENVIRONMENT XFILESEARCHPATH XUSERFILESEARCHPATH XAPPLRESDIR
text=$'Hello, world! Caf\u00e9 cr\u00e8me\n\u0393\u03b5\u03b9\u03ac \u03c3\u03bf\u03c5 \u03ba\u03cc\u03c3\u03bc\u03b5\n\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440\n\u4f60\u597d\u4e16\u754c \u3053\u3093\u306b\u3061\u306f \uc548\ub155\n\U0001F600 \U0001F34E \U0001F4DD'
bytes=$(printf '%s' "$text" | wc -c)
# The header: position, size, text length in bytes, flags, screen, alarm.
printf '%%%%!!<tackonnote> 40 40 380 880 %d 0 0 %d %d 0 5 14 9 30 \n%s\n%s' \
  "$bytes" "$height" "$width" "Scripts" "$text" >"$HOME/.tackonnotes/note1"

"$bin" -ns &
app=$!
poll 100 xdotool search --onlyvisible --name '^Scripts$'
poll 50 still
"$convert" xwd:"$work/now.xwd" "$out"
echo "wrote $out"
