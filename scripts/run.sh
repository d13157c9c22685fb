#!/usr/bin/env bash
# Sets up, builds (with the database build/bin/Grelavo.mdb) and starts Grelavo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ ! -x build/bin/grelavo ]; then
    echo "Built build/bin/Grelavo.mdb; the grelavo program is not part of this build yet."
    exit 0
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/grelavo
else
    exec xvfb-run -a -s "-screen 0 1600x1000x24" build/bin/grelavo
fi
