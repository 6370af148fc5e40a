#!/usr/bin/env bash
# "loftwork --screenshot FILE" on the sample vase: writes the main window as a 640 x 480 PNG with
# the surface in it, prints nothing on standard output and exits 0; an unwritable file gives
# status 1 and a message on standard error.
# Usage: screenshot.sh LOFTWORK_BINARY SOURCE_DIR
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
binary="$1"
source_dir="$2"
work="$(mktemp -d /tmp/loftwork-e2e-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$source_dir"/examples/vase.surf "$work"/
echo vase.surf >"$work/defaultFile.config"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

status=0
timeout 120 "$binary" --screenshot "$work/shot.png" >stdout.txt 2>stderr.txt || status=$?
[ "$status" -eq 0 ] || { cat stderr.txt >&2; fail "exit status $status"; }
[ ! -s stdout.txt ] || { cat stdout.txt >&2; fail "standard output is not empty"; }
[ "$(identify -format '%m %w %h' shot.png)" = "PNG 640 480" ] || fail "not a 640 x 480 PNG"

# The corners show the light grey background; the middle holds the lit surface, whose shades
# are many and bluish.
corner="$(convert shot.png -format '%[pixel:p{2,2}]' info:)"
[ "$corner" = "srgb(204,204,204)" ] || [ "$corner" = "gray(204)" ] || fail "corner is $corner"
colours="$(convert shot.png -format '%k' info:)"
[ "$colours" -gt 20 ] || fail "only $colours colours in the picture"

status=0
timeout 120 "$binary" --screenshot /nonexistent-directory/shot.png >stdout.txt 2>stderr.txt \
    || status=$?
[ "$status" -eq 1 ] || fail "unwritable file: exit status $status"
grep -q "nonexistent-directory" stderr.txt || fail "unwritable file: no message on standard error"
[ ! -s stdout.txt ] || fail "unwritable file: standard output is not empty"
echo "screenshot: ok"
