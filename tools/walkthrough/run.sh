#!/usr/bin/env bash
# Replays a user's walk through Vemra on a virtual X server (Xvfb) with real
# mouse and keyboard events (xdotool) and writes a screenshot after every
# step, so that a person can look at each screen.
#
#   tools/walkthrough/run.sh SHOTS_FOLDER [VEMRA_PROGRAM]
#
# VEMRA_PROGRAM defaults to build/vemra (build-test/vemra runs it under
# AddressSanitizer). Needs Xvfb, xdotool, ImageMagick's import and convert,
# zip and pdftoppm (apt-get install xvfb xdotool imagemagick zip
# poppler-utils). The walk uses a scratch home folder, so the user's own
# settings, cache and trash are never touched; WALK_DISPLAY chooses the X
# display (default :77), WALK_KEEP=1 keeps the scratch folder.
#
# The clicks assume the layout of a fresh start: the main window at the
# top left, resized to 1400x900, tree and details panes at their default
# sizes. Keys are used wherever a key exists.

set -euo pipefail

if [[ $# -lt 1 ]]; then
    sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
SHOTS=$(realpath -m "$1")
HERE=$(cd "$(dirname "$0")/../.." && pwd)
PROGRAM=$(realpath "${2:-$HERE/build/vemra}")
DISPLAY_NUMBER=${WALK_DISPLAY:-:77}

for tool in Xvfb xdotool import convert zip pdftoppm; do
    command -v "$tool" >/dev/null || {
        echo "run.sh: $tool is missing (apt-get install xvfb xdotool imagemagick zip poppler-utils)" >&2
        exit 2
    }
done
[[ -x "$PROGRAM" ]] || { echo "run.sh: no program at $PROGRAM" >&2; exit 2; }

mkdir -p "$SHOTS"
WORK=$(mktemp -d /tmp/vemra-walk.XXXXXX)
PICS=$WORK/pics
OUT=$WORK/out
LOG=$SHOTS/walk.log
: >"$LOG"
XVFB_PID=""
VEMRA_PID=""

finish() {
    [[ -n "$VEMRA_PID" ]] && kill "$VEMRA_PID" 2>/dev/null || true
    [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
    if [[ "${WALK_KEEP:-0}" != 1 ]]; then rm -rf "$WORK"; else echo "scratch kept in $WORK"; fi
}
trap finish EXIT

note() { echo "$(date +%T) $*" | tee -a "$LOG"; }

# --- the pictures: the samples, camera-size photos, an archive, sub-folders
mkdir -p "$PICS/camera" "$PICS/dest" "$PICS/sub/deeper" "$OUT" "$WORK/home"
cp "$HERE"/samples/*.* "$PICS/"
for i in 0 1 2 3; do
    # The thumbnail bench's 12-megapixel photos when they are at hand.
    if [[ -f /tmp/vemra-thumbs-bench/photo-00$i.jpg ]]; then
        cp "/tmp/vemra-thumbs-bench/photo-00$i.jpg" "$PICS/camera/"
    else
        convert -seed "$i" -size 4000x3000 plasma:fractal -quality 92 "$PICS/camera/photo-00$i.jpg"
    fi
done
cp "$HERE/samples/sunset.jpg" "$PICS/dest/sunset.jpg"
cp "$HERE/samples/shapes.gif" "$PICS/sub/"
cp "$HERE/samples/colour-wheel.png" "$PICS/sub/deeper/"
(cd "$PICS/camera" && zip -q ../photos.zip photo-000.jpg photo-001.jpg)

export HOME=$WORK/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export DISPLAY=$DISPLAY_NUMBER
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >"$SHOTS/xvfb.log" 2>&1 &
XVFB_PID=$!
sleep 1

STEP=0
shot() {
    STEP=$((STEP + 1))
    local name
    name=$(printf '%02d-%s.png' "$STEP" "$1")
    import -window root "$SHOTS/$name"
    note "screen $name"
}
keys() { xdotool key --delay 150 "$@"; }
typed() { xdotool type --delay 40 "$1"; }
click() { xdotool mousemove "$1" "$2" click 1; }
double_click() { xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1; }
windows() { xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sort -u | tr '\n' '|'; }
# Waits (up to 20 s) for a visible window whose title matches; its id.
wait_window() {
    local id=""
    for _ in $(seq 1 200); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [[ -n "$id" ]] && break
        sleep 0.1
    done
    [[ -n "$id" ]] || { note "no window '$1' (open: $(windows))"; return 1; }
    echo "$id"
}
# Clicks at a point given relative to a window's top-left corner.
click_in() {
    local id=$1 x=$2 y=$3 X Y
    eval "$(xdotool getwindowgeometry --shell "$id")"
    click $((X + x)) $((Y + y))
}
still_running() {
    kill -0 "$VEMRA_PID" 2>/dev/null || { note "Vemra ended unexpectedly"; exit 1; }
}
start_vemra() {
    (cd "$WORK" && exec "$PROGRAM" "$@" >>"$SHOTS/vemra.log" 2>&1) &
    VEMRA_PID=$!
}

# --- 1. first start on the picture folder
T0=$(date +%s%N)
start_vemra "$PICS"
MAIN=$(wait_window " - Vemra$")
note "main window after $((($(date +%s%N) - T0) / 1000000)) ms"
sleep 3
shot first-start
xdotool windowsize "$MAIN" 1400 900
sleep 1
shot resized

# --- 2. grid keys, details list sorting
click 330 180
keys End
shot grid-end
keys Home Right Right Down
shot grid-keys
click 409 60
sleep 0.5
shot sorted-by-size
click 409 60
sleep 0.5
shot sorted-by-size-descending

# --- 3. the viewer
keys Home Return
VIEWER=$(wait_window "b ")
sleep 1
shot viewer
xdotool windowfocus --sync "$VIEWER"
keys plus plus
shot viewer-zoomed
keys Right
sleep 0.5
shot viewer-next
keys r
sleep 0.5
shot viewer-rotated
keys Escape
sleep 0.5
still_running

# --- 4. full screen from the grid's context menu
click 330 180
keys Menu
sleep 0.5
shot context-menu
keys Down Down Return
sleep 1.5
shot full-screen
keys Right
sleep 0.5
keys i
sleep 0.5
shot full-screen-information
keys space
sleep 2
keys space
shot slide-show
keys Escape
sleep 0.5
still_running

# --- 5. copy with the same-name question, move, rename, note, delete
# The grid is sorted by size, largest first, eleven cells a row: the
# second row holds sunset.jpg, shapes.gif, bouncing-ball.gif,
# sunset.webp and memo.txt from its second cell on.
xdotool windowfocus --sync "$MAIN"
click 330 288 # sunset.jpg
keys c
wait_window "ファイルの複写" >/dev/null
typed "$PICS/dest"
shot copy-destination
keys Return
wait_window "同名ファイルが存在しています" >/dev/null
sleep 0.5
shot same-name-question
keys alt+n Return
sleep 1.5
note "dest after copy: $(ls "$PICS/dest" | tr '\n' ' ')"
click 439 288 # shapes.gif
keys m
wait_window "ファイルの移動" >/dev/null
keys ctrl+a
typed "$PICS/dest"
keys Return
sleep 1.5
shot after-move
note "dest after move: $(ls "$PICS/dest" | tr '\n' ' ')"
click 550 288 # sunset.webp, now the fourth cell
keys F2
wait_window "名前の変更" >/dev/null
typed "renamed"
shot rename
keys Return
sleep 1
click 550 288
keys ctrl+n
NOTE=$(wait_window "コメント入力")
typed "walk note"
shot note
click_in "$NOTE" 149 348 # OK
sleep 1
click 659 288 # memo.txt
keys Delete
wait_window "^Vemra$" >/dev/null
shot delete-question
keys y
sleep 1
note "pictures: $(ls "$PICS" | tr '\n' ' ')"
note "trash: $(ls "$XDG_DATA_HOME/Trash/files" 2>/dev/null | tr '\n' ' ')"
if [[ -d "$WORK/files" ]]; then note "FAULT: the trash went to the working folder"; fi
still_running

# --- 6. options: 動作設定 (sub-folders on), サムネイル設定, プラグイン設定
xdotool windowfocus --sync "$MAIN"
click 390 8
sleep 0.5
shot options-menu
click 408 29
BEHAVIOUR=$(wait_window "動作設定")
click_in "$BEHAVIOUR" 155 24
sleep 0.5
shot behaviour-folder-page
click_in "$BEHAVIOUR" 29 56
sleep 0.3
shot behaviour-subfolders-ticked
keys Return
sleep 3
shot grid-with-subfolders
click 390 8
sleep 0.5
click 420 73
THUMBS=$(wait_window "サムネイル設定")
shot thumbnail-settings
keys Escape
sleep 0.5
click 390 8
sleep 0.5
click 420 51
wait_window "プラグイン設定" >/dev/null
sleep 0.5
shot plugin-settings
keys Escape
sleep 0.5
still_running

# --- 7. HTML catalog, contact sheet, print to PDF
click 700 600
keys ctrl+a
click 310 8
sleep 0.5
keys h
HTML=$(wait_window "HTMLの作成")
typed "$OUT/html"
shot html-dialog
keys Return
sleep 1
keys Return   # make the missing folder
sleep 4
shot html-done
ls "$OUT/html" >>"$LOG" 2>&1 || note "FAULT: no catalog"
click 310 8
sleep 0.5
keys g
wait_window "コンタクトシートの作成" >/dev/null
typed "$OUT/sheet"
keys Tab
typed "sheet"
shot contact-sheet-dialog
keys Return
sleep 1
keys Return
sleep 4
for f in "$OUT"/sheet/*; do convert "$f" "$SHOTS/contact-$(basename "${f%.*}").png"; done
click 700 600
keys ctrl+p
PRINT=$(wait_window "印刷")
sleep 0.5
shot print-dialog
click_in "$PRINT" 186 110
keys ctrl+a
typed "$OUT/print.pdf"
keys Return
# Printing shows its progress window; the PDF is done when it has gone
# and the file stops growing.
sleep 1
last=-1
for _ in $(seq 1 120); do
    size=$(stat -c %s "$OUT/print.pdf" 2>/dev/null || echo 0)
    if [[ "$size" -gt 0 && "$size" == "$last" ]] &&
        ! xdotool search --onlyvisible --name "印刷" >/dev/null 2>&1; then
        break
    fi
    last=$size
    sleep 1
done
note "print.pdf: $(stat -c %s "$OUT/print.pdf" 2>/dev/null || echo none) bytes"
pdftoppm -r 30 -png "$OUT/print.pdf" "$SHOTS/print" 2>>"$LOG" || note "FAULT: no PDF"
still_running

# --- 8. archive members as entries, then close and start again
click 390 8
sleep 0.5
click 440 97
sleep 3
shot archive-members
xdotool windowfocus --sync "$MAIN"
keys ctrl+q
for _ in $(seq 1 150); do kill -0 "$VEMRA_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$VEMRA_PID" 2>/dev/null && note "FAULT: still running 15 s after Ctrl+Q"
T0=$(date +%s%N)
start_vemra -nologo
MAIN=$(wait_window " - Vemra$")
note "restart: window after $((($(date +%s%N) - T0) / 1000000)) ms, title $(xdotool getwindowname "$MAIN")"
sleep 3
shot restarted
# Without a window manager nobody gives the new window the keyboard.
xdotool windowfocus --sync "$MAIN"
keys ctrl+q
for _ in $(seq 1 150); do kill -0 "$VEMRA_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$VEMRA_PID" 2>/dev/null && note "FAULT: still running 15 s after Ctrl+Q"
note "walk finished; screenshots in $SHOTS"
