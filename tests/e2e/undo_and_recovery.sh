#!/usr/bin/env bash
# The real program under its own Xvfb, driven with X events: a drag of a section point undone
# with ctrl+z in the section window saves the very bytes saved before the drag, and ctrl+y
# brings the drag back. "q" with nothing unsaved writes no recovery file; "q" after another drag
# writes bottle.recovered.surf, which holds the dragged surface.
# Usage: undo_and_recovery.sh LOFTWORK_BINARY SOURCE_DIR   (KEEP_WORK=1 keeps the scratch dir)
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
source "$2/tests/e2e/section_window.bash" "$@"

start_editor
save_points
cp bottle.surf saved-before.surf

# Point 3 of the section, (0.1, 0.32), dragged to (0.1, 0.42).
drag_point 0.1 0.32 0.1 0.42
save_points
cp bottle.surf saved-dragged.surf
cmp -s saved-before.surf saved-dragged.surf && fail "the drag changed nothing in the saved file"

key_in_section ctrl+z
save_points
cmp -s saved-before.surf bottle.surf || fail "after ctrl+z the file differs from the one saved before the drag"
grep -q "undid: move point 3 of section 0" "$work/stderr.txt" || fail "no \"undid:\" status"
key_in_section ctrl+y
save_points
cmp -s saved-dragged.surf bottle.surf || fail "after ctrl+y the file differs from the dragged one"
echo "ok: ctrl+z undoes the drag byte for byte, ctrl+y redoes it"

key_in_section q
wait_for_exit
[ -e bottle.recovered.surf ] && fail "a recovery file without unsaved changes"
# freeglut's exit handler closes the windows after the editor's arrays are released: their
# close callbacks must not take that for unsaved changes.
grep -q "unsaved changes" "$work/stderr.txt" && fail "q without unsaved changes spoke of some"

start_editor
drag_point 0.1 0.32 0.1 0.22
key_in_section q
wait_for_exit
[ -s bottle.recovered.surf ] || fail "q after a drag wrote no recovery file"
grep -q "unsaved changes written to .*bottle.recovered.surf" "$work/stderr.txt" ||
    fail "standard error does not name the recovery file"
cmp -s bottle.surf saved-dragged.surf || fail "quitting changed the surface file itself"
[ "$(points bottle.recovered.surf 0 | sed -n 4p)" != "$(points bottle.surf 0 | sed -n 4p)" ] ||
    fail "the recovery file does not hold the dragged point"
echo "ok: q writes unsaved changes to bottle.recovered.surf, and nothing when all is saved"
