#!/usr/bin/env bash
# Makes doc/screenshot.png: stikkel on a private Xvfb with twm, two notes
# loaded from note files, and the main menu held open on the control window.
#   doc/make_screenshot.sh [path/to/stikkel [out.png]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/stikkel}
out=${2:-$root/doc/screenshot.png}
convert=/usr/bin/convert  # ImageMagick's own
width=1000
height=560

work=$(mktemp -d /tmp/stikkel-shot.XXXXXX)
xvfb= twm= app=
cleanup() {
  # The program first: told to end, it would ask whether to save.
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
  echo "make_screenshot: timed out waiting for: $*" >&2
  return 1
}

shot() { xwd -root -silent >"$1"; }
# Holds once two screenshots a tenth of a second apart are equal.
still() { shot "$work/a.xwd"; sleep 0.1; shot "$work/now.xwd"; cmp -s "$work/a.xwd" "$work/now.xwd"; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 ${width}x${height}x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
poll 100 test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
twm -f "$root/tests/support/twmrc" >/dev/null 2>&1 &
twm=$!
# twm is up once the root has children (its frames and menus).
poll 100 sh -c 'xwininfo -root -children | grep -Eq "^ *[1-9][0-9]* child"'
xsetroot -solid '#4f6f7f'

export HOME=$work/home
mkdir -p "$HOME/.tackonnotes"
unset XENVIRONMENT XFILESEARCHPATH XUSERFILESEARCHPATH XAPPLRESDIR
# A note file: the header (position, size, text length, hidden and anchored
# flags, screen size, alarm), the name line, the text.
note() {  # file name x y height width alarm-set text
  local text=$8
  printf '%%%%!!<tackonnote> %d %d %d %d %d 0 0 %d %d %d 5 14 9 30 \n%s\n%s' \
    "$3" "$4" "$5" "$6" "${#text}" "$height" "$width" "$7" "$2" "$text" >"$HOME/.tackonnotes/$1"
}
note note1 "Shopping" 40 40 170 250 0 $'milk\nbread\ncoffee beans\nstamps'
note note2 "Call Anna" 330 180 120 300 1 $'about Sunday lunch,\nbring the photos'

"$bin" -ns &
app=$!
poll 100 xdotool search --onlyvisible --name '^stikkel$'
poll 100 xdotool search --onlyvisible --name '^Call Anna$'
control=$(xdotool search --onlyvisible --name '^stikkel$' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$control")"

# Button 3 held on the control window pops the main menu up at the pointer.
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
poll 50 still
cp "$work/now.xwd" "$work/before.xwd"
xdotool mousedown 3
changed() { shot "$work/now.xwd"; ! cmp -s "$work/before.xwd" "$work/now.xwd"; }
poll 50 changed
poll 50 still
"$convert" xwd:"$work/now.xwd" "$out"
xdotool mouseup 3 || true
echo "wrote $out"
