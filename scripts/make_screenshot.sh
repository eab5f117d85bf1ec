#!/bin/sh
# Takes docs/screenshot.png, the picture at the top of the README and in the
# AppStream metadata: the real window in its start-up state, the pointer over
# the response and its readout in the status bar, on a virtual X server of
# its own, cropped to the window. No window manager runs, so the picture has
# no frame.
#   scripts/make_screenshot.sh [--precision] [VORBEL]
# With --precision it takes docs/precision.png instead, the README's picture
# of the precision view: the 2nd order low-pass at 392 Hz (cutoff slider at
# 800) and 192 kHz, rounded to Q15, as the keyboard chooses them, with the
# filter's summary in the status bar.
# VORBEL is the executable to show; without it the Release preset's is built
# first. Needs Xvfb, xdotool and ImageMagick (packages xvfb, xdotool and
# imagemagick).
set -eu

cd "$(dirname "$0")/.."
out=docs/screenshot.png
precision=""
if [ "${1:-}" = "--precision" ]; then
    precision=yes
    out=docs/precision.png
    shift
fi

missing=""
for tool in Xvfb:xvfb xdotool:xdotool import:imagemagick; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || missing="$missing ${tool#*:}"
done
if [ -n "$missing" ]; then
    echo "Missing packages:$missing (apt-get install$missing)" >&2
    exit 1
fi

if [ $# -ge 1 ]; then
    vorbel=$1
else
    cmake --preset release >/dev/null
    cmake --build --preset release --target vorbel
    vorbel=build/release/app/vorbel
fi
[ -x "$vorbel" ] || { echo "No executable at $vorbel" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
vorbel_pid=""
cleanup() {
    [ -n "$vorbel_pid" ] && kill "$vorbel_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Xvfb picks a free display number itself and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$work/display" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
display=:$(cat "$work/display")

# A fixed environment, so that no desktop's theme, scale or style reaches
# the picture.
mkdir -m 700 "$work/runtime"
env -i PATH="$PATH" HOME="$work" LANG=C.UTF-8 DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion "$vorbel" >"$work/vorbel.log" 2>&1 &
vorbel_pid=$!

window=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --class VORBEL | head -n 1) || true
[ -n "$window" ] || { cat "$work/vorbel.log" >&2; echo "The window did not appear" >&2; exit 1; }

eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
if [ -n "$precision" ]; then
    # From the client area, which has the keyboard focus at start: Tab to the
    # model box, the next model, Tab to the cutoff slider, 0, then 80 pages
    # of 10; the rate menu's 192000 and the View menu's Precision, Q15. The
    # pointer rests beside the controls, where the readout is the summary.
    keys() { DISPLAY=$display xdotool key --delay 50 "$@"; sleep 0.3; }
    DISPLAY=$display xdotool windowfocus --sync "$window"
    keys Tab Down Tab Home
    DISPLAY=$display xdotool key --repeat 80 --delay 5 Prior
    keys alt+s
    keys 2
    keys alt+v
    keys p
    keys 1
    DISPLAY=$display xdotool mousemove --window "$window" $((WIDTH / 8)) $((HEIGHT * 3 / 10))
else
    # The pointer rests over the magnitude pane, so that the status bar shows
    # the readout of the column under it.
    DISPLAY=$display xdotool mousemove --window "$window" $((WIDTH * 11 / 20)) $((HEIGHT / 4))
fi

# The first paint may follow the mapping: wait until two pictures agree.
previous=""
for attempt in 1 2 3 4 5 6 7 8 9 10; do
    sleep 0.5
    DISPLAY=$display import -window "$window" -strip "png:$work/shot$attempt.png"
    if [ -n "$previous" ] && cmp -s "$previous" "$work/shot$attempt.png"; then
        mkdir -p docs
        cp "$work/shot$attempt.png" "$out"
        echo "Wrote $out ($(identify -format '%wx%h' "$out"))"
        exit 0
    fi
    previous=$work/shot$attempt.png
done
echo "The window did not settle" >&2
exit 1
