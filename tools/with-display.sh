#!/bin/sh
# Runs one command on a virtual X display of its own. Tests that move the
# pointer, focus windows or open dialogs would otherwise see each other's
# windows when they run in parallel on one shared display.
set -u
dir=$(mktemp -d /tmp/corvadine-display-XXXXXX)
# -displayfd lets the server pick a free display number itself, which is
# safe when many of these start at once; it writes the number when ready.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
server=$!
tries=0
while [ ! -s "$dir/display" ] && [ $tries -lt 200 ]; do
    sleep 0.05
    tries=$((tries + 1))
done
if [ ! -s "$dir/display" ]; then
    echo "with-display: Xvfb did not start" >&2
    kill $server 2>/dev/null
    rm -rf "$dir"
    exit 1
fi
DISPLAY=":$(head -n 1 "$dir/display")"
export DISPLAY
"$@"
status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -rf "$dir"
exit $status
