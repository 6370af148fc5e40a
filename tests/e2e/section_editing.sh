#!/usr/bin/env bash
# The real program under its own Xvfb, driven with X events: drag a point of the bottle's
# section in the section window, add a point through the popup menu's "Points" > "Add", save
# through the panel's "save points" button, and check the saved file; "q" then ends the
# program with status 0.
# Usage: section_editing.sh LOFTWORK_BINARY SOURCE_DIR   (KEEP_WORK=1 keeps the scratch directory)
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
source "$2/tests/e2e/section_window.bash" "$@"
start_editor

# 1. Drag point 3 of the section (0.1, 0.32) to (0.1, 0.42) with the left button.
drag_point 0.1 0.32 0.1 0.42

# 2. "Points" > "Add" with the menu opened beside the segment from point 5 to point 6 of the
# neck. The view stayed where it was during the drag.
read -r ax ay < <(pixel 0.50 0.097)
xdotool mousemove "$ax" "$ay"
sleep 0.3
# A right click opens the menu with its corner at the pointer and leaves it open; hovering
# "Points" opens the sub-menu beside it, and a left click on "Add" chooses it.
xdotool click 3
sleep 0.4
# open_menus [EXCEPT]: geometry (WxH+X+Y) of the open freeglut menus, which are override-redirect
# windows named "freeglut menu"; a closed one is parked at -1, -1.
open_menus() {
    xwininfo -root -children |
        awk -v except="${1:-}" '/"freeglut menu"/ && $(NF-1) !~ /\+-1\+-1/ && $(NF-1) != except {
            print $(NF-1) }'
}
main_menu="$(open_menus | head -n 1)"
[ -n "$main_menu" ] || fail "the popup menu did not open"
IFS='x+' read -r _ _ mx my <<<"$main_menu"
xdotool mousemove $((mx + 15)) $((my + 12))  # "Points", the first entry
sleep 0.4
sub_menu="$(open_menus "$main_menu" | head -n 1)"
[ -n "$sub_menu" ] || fail "hovering \"Points\" did not open its sub-menu"
IFS='x+' read -r _ _ sx sy <<<"$sub_menu"
xdotool mousemove $((sx + 15)) $((sy + 12))  # "Add", the first entry of the sub-menu
sleep 0.3
xdotool click 1
sleep 0.5

# 3. "save points".
save_points

# 4. The saved surface: ten points per section, thirteen U knots, point 3 dragged in
# its plane, and a new point of weight 1 at index 6 of every section.
read -r count_u count_v < <(header bottle.surf 5)
read -r knots_u _ < <(header bottle.surf 7)
[ "$count_u" = 10 ] || fail "countU is $count_u after Add, expected 10"
[ "$count_v" = 9 ] || fail "countV is $count_v, expected 9"
[ "$knots_u" = 13 ] || fail "knotCountU is $knots_u after Add, expected 13"
saved_knots_u="$(awk '/^KNOTS_U/ { k = 1; next } /^KNOTS_V/ { k = 0 } k && NF' bottle.surf | wc -l)"
[ "$saved_knots_u" = 13 ] || fail "the saved U knot list holds $saved_knots_u knots, expected 13"

points bottle.surf 0 | awk 'NR == 4 {
    if ($1 != 0 || $4 != 1) { print "point 3 left its plane or changed weight: " $0; exit 1 }
    if ($3 < 0.37 || $3 > 0.47 || $2 < 0.08 || $2 > 0.12) {
        print "point 3 not dragged: " $0
        exit 1
    }
}' || fail "dragged point"
new_point="$(points bottle.surf 0 | sed -n 7p)"
echo "$new_point" | awk '{
    if ($4 != 1 || $1 != 0 || $2 < 0.47 || $2 > 0.53 || $3 < 0.07 || $3 > 0.13) exit 1
}' || fail "point 6 is \"$new_point\", expected the added point near (0, 0.5, 0.097, 1)"
# Every other section gets a knot inserted, which keeps its curve: its new point 6 and its
# changed neighbours stay in its own plane through the bottle's axis (y), and the U knots are
# the old ones with one more between them, in order.
for s in $(seq 1 8); do
    points bottle.surf "$s" | awk '{ x[NR] = $1 / $4; z[NR] = $3 / $4
            if (x[NR] * x[NR] + z[NR] * z[NR] > best) { best = x[NR] * x[NR] + z[NR] * z[NR]; r = NR } }
        END { for (i = 1; i <= NR; i++) { d = x[i] * z[r] - z[i] * x[r]; if (d > 2e-5 || d < -2e-5) exit 1 } }' ||
        fail "section $s left its plane: $(points bottle.surf "$s" | sed -n 5,9p | tr '\n' ' ')"
done
awk '/^KNOTS_U/ { k = 1; next } /^KNOTS_V/ { k = 0 } k && NF { print $1 }' bottle.surf |
    awk 'NR > 1 && $1 < last { exit 1 } { last = $1 }' || fail "the saved U knots are out of order"
# The untouched neighbours keep their places: old point 6 is now point 7.
[ "$(points bottle.surf 0 | sed -n 8p)" = "0.000000 0.620000 0.090000 1.000000" ] ||
    fail "old point 6 did not move to index 7"
echo "ok: drag, popup Add and save give the expected surface"

# 5. "q" in the section window ends the program with status 0.
key_in_section q
wait_for_exit
if grep -q "Nurbs Error" "$work/stdout.txt"; then
    fail "GLU reported errors: $(head -n 3 "$work/stdout.txt")"
fi
echo "ok: q ends the program with status 0"
