#!/usr/bin/env bash
# The real program under its own Xvfb, driven with X events: load the sample drawing as the
# background, calibrate it from two clicks on it and a typed distance, then trace two points of
# the bottle's section by typing their coordinates into the panel, save, and check the saved file
# and the calibration file written beside the drawing.
# Usage: trace_drawing.sh LOFTWORK_BINARY SOURCE_DIR   (KEEP_WORK=1 keeps the scratch directory)
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
source "$2/tests/e2e/section_window.bash" "$@"
cp "$source_dir/examples/profile.png" "$work/profile.png"
start_editor

# The panel's controls are found in a capture of it by their colours: text fields and the
# fields of the "section point" row are drawn in the frame colour, buttons in the button colour
# (the pointer rests on an empty corner of the panel, so nothing is drawn highlighted).
readonly frame_colour="#1D2F49" button_colour="#24466E"
capture_panel() {
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    xdotool mousemove $((X + 540)) $((Y + 640))
    sleep 0.4
    import -window "$panel" "$work/panel.png"
}
# runs AXIS AT COLOUR: "start end" of each run of that colour along column (AXIS x) or row (y) AT
# of the last capture. Columns are taken just inside the fields' left edges and rows just under
# their top edges, where no text is drawn.
runs() {
    local crop
    if [ "$1" = x ]; then crop="1x2000+$2+0"; else crop="2000x1+0+$2"; fi
    convert "$work/panel.png" -crop "$crop" txt:- |
        awk -F'[ ,:]+' -v axis="$1" -v colour="$3" 'NR > 1 && $0 ~ colour {
            at = axis == "x" ? $2 : $1
            if (inside && at - last > 1) { print start, last; inside = 0 }
            if (!inside) start = at
            inside = 1
            last = at
        } END { if (inside) print start, last }'
}
# nth_run AXIS AT COLOUR N: the middle of the Nth run (1-based; -1 for the last).
nth_run() {
    runs "$1" "$2" "$3" | awk -v n="$4" '{ mid[NR] = int(($1 + $2) / 2) }
        END { k = n < 0 ? NR + 1 + n : n; if (k >= 1 && k <= NR) print mid[k] }'
}
# nth_start AXIS AT COLOUR N: where the Nth run starts.
nth_start() {
    runs "$1" "$2" "$3" | awk -v n="$4" '{ first[NR] = $1 }
        END { k = n < 0 ? NR + 1 + n : n; if (k >= 1 && k <= NR) print first[k] }'
}
# click_panel PX PY: a left click at panel pixel (PX, PY).
click_panel() {
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    xdotool mousemove $((X + $1)) $((Y + $2))
    sleep 0.2
    xdotool mousedown 1
    sleep 0.15
    xdotool mouseup 1
    sleep 0.3
}
# type_enter TEXT: types into the field that has the keyboard, then Enter.
type_enter() {
    xdotool type --delay 60 "$1"
    sleep 0.2
    xdotool key Return
    sleep 0.4
}

# 1. The drawing as background: its path into the "background" box, the second field of the
# panel's first row (beside "file"), then the "background" button under it.
capture_panel
file_top="$(nth_start x 9 "$frame_colour" 1)"
[ -n "$file_top" ] || fail "no \"file\" box found"
right="$(nth_start y $((file_top + 1)) "$frame_colour" 2)"
[ -n "$right" ] || fail "no \"background\" box found"
right=$((right + 3))
background_box="$(nth_run x "$right" "$frame_colour" 1)"
background_button="$(nth_run x "$right" "$button_colour" 1)"
[ -n "$background_box" ] && [ -n "$background_button" ] || fail "no \"background\" controls found"
click_panel $((right + 20)) "$background_box"
type_enter "$work/profile.png"
click_panel $((right + 20)) "$background_button"
for _ in $(seq 1 30); do
    grep -q "background \"$work/profile.png\"" "$work/stderr.txt" && break
    sleep 0.1
done
grep -q "no $work/profile.png.calibration" "$work/stderr.txt" ||
    fail "the drawing did not load, or did not say it has no calibration yet"

# 2. "calibrate" (the last button of the left column, in the "tracing" group), then the two
# marks: the image, 400 x 600 pixels, spans z in [-0.5, 0.5] uncalibrated, so its pixels
# (100, 300) and (300, 300), 200 pixels apart, lie at (y, z) = (0, -0.25) and (0, 0.25). The
# distance between them, typed into "distance" beside "calibrate": 10 units.
capture_panel
calibrate_top="$(nth_start x 9 "$button_colour" -1)"
[ -n "$calibrate_top" ] || fail "no \"calibrate\" button found"
calibrate_row=$((calibrate_top + 9))
distance_box="$(nth_run y $((calibrate_top + 1)) "$frame_colour" 1)"
[ -n "$distance_box" ] || fail "no \"distance\" field found"
click_panel 20 "$calibrate_row"
for z in -0.25 0.25; do
    read -r px py < <(pixel 0 "$z")
    xdotool mousemove "$px" "$py"
    sleep 0.3
    xdotool click 1
    sleep 0.4
done
grep -q "type the distance between the two marks" "$work/stderr.txt" ||
    fail "the two clicks were not taken as calibration marks"
click_panel "$distance_box" "$calibrate_row"
type_enter 10
[ -f "$work/profile.png.calibration" ] || fail "no calibration file beside the drawing"
awk '$1 == "scale" { s = $2 } END { exit !(s > 0.0495 && s < 0.0505) }' \
    "$work/profile.png.calibration" ||
    fail "scale is not 10 units per 200 pixels: $(cat "$work/profile.png.calibration")"
grep -q "^image 400 600$" "$work/profile.png.calibration" || fail "calibration names no image size"
echo "ok: two clicks and a typed 10 calibrate the drawing at 0.05 units per pixel"

# 3. Trace: point 0 of section 0 (selected) gets y 0.75 and z 0.125 typed into the "section
# point" row, the last row of four fields in the left column ("picked point" below it is greyed
# out while no point is picked); "n" in the section window selects point 1, which gets y 0.5 and
# z 0.25.
capture_panel
point_row=""
while read -r top _; do
    [ "$(runs y $((top + 1)) "$frame_colour" | wc -l)" = 4 ] && point_row="$top"
done < <(runs x 9 "$frame_colour")
[ -n "$point_row" ] || fail "no \"section point\" fields found"
type_point() {
    local y z
    y="$(nth_run y $((point_row + 1)) "$frame_colour" 2)"
    z="$(nth_run y $((point_row + 1)) "$frame_colour" 3)"
    [ -n "$y" ] && [ -n "$z" ] || fail "the \"section point\" row has no y and z fields"
    click_panel "$y" $((point_row + 9))
    type_enter "$1"
    click_panel "$z" $((point_row + 9))
    type_enter "$2"
}
type_point 0.75 0.125
key_in_section n
type_point 0.5 0.25
save_points
read -r x0 y0 z0 w0 < <(points bottle.surf 0 | sed -n 1p)
read -r x1 y1 z1 w1 < <(points bottle.surf 0 | sed -n 2p)
[ "$y0 $z0 $w0" = "0.750000 0.125000 1.000000" ] || fail "point 0 is $x0 $y0 $z0 $w0"
[ "$y1 $z1 $w1" = "0.500000 0.250000 1.000000" ] || fail "point 1 is $x1 $y1 $z1 $w1"
[ "$x0 $x1" = "0.000000 0.000000" ] || fail "the traced points left their plane: x $x0 $x1"
echo "ok: typed coordinates trace two points exactly"

key_in_section q
wait_for_exit
