#!/usr/bin/env bash
# play.sh [NOVEL_DIR] [launcher options...]: builds the engine and plays a novel (the sample novel by default).
# Without a display it plays under a virtual X server for a few seconds, saves a PNG of the screen and says where.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
novel="$(cd "${1:-$root/sample}" && pwd)"
shift || true
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build" -DQUILLHAVEN_TESTS=OFF
launcher="$root/build/bin/quillhaven"

if [ -n "${DISPLAY:-}" ]; then
    exec "$launcher" play "$novel" "$@"
fi

mkdir -p "$root/out"
shot="$root/out/play.png"
export ALSOFT_DRIVERS=null
xvfb-run -a -s "-screen 0 1280x720x24 -noreset" bash -c '
    "$1" play "$2" "${@:4}" &
    pid=$!
    sleep 4
    import -window root "$3"
    kill -INT "$pid"
    wait "$pid"
' _ "$launcher" "$novel" "$shot" "$@"
echo "play: the novel ran under a virtual display; its screen is in $shot (log: $novel/debug.txt)"
