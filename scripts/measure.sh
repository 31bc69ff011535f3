#!/usr/bin/env bash
# measure.sh: how fast the real `quillhaven` program feels to a reader, from an optimised build: CPU used while a
# line waits for a click, start to the first dialogue text, skip reading through a long script, and peak memory, each
# the median of 3 runs on novels generated here; then the editor benchmarks, when the benchmark program has any.
# MEASURE_SKIP_LINES (default 10000) sets the length of the skip-reading script, MEASURE_SKIP_TIMEOUT (seconds,
# default 900) caps each of its runs, MEASURE_RUNS (default 3) the number of runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lines="${MEASURE_SKIP_LINES:-10000}"
timeout="${MEASURE_SKIP_TIMEOUT:-900}"
runs="${MEASURE_RUNS:-3}"
build="$root/build-measure"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLHAVEN_TESTS=OFF -DQUILLHAVEN_BENCH=ON

work="$(mktemp -d "${TMPDIR:-/tmp}/quillhaven-measure.XXXXXX")"
# A run that failed leaves its novels and their logs (debug.txt) for a look.
status=0
trap '[ "$status" = 0 ] && rm -rf "$work" || echo "measure: the novels and their logs stay in $work"' EXIT

# Every program that opens a window gets a virtual screen of its own when there is no display.
on_screen() {
    if [ -n "${DISPLAY:-}" ]; then
        ALSOFT_DRIVERS=null "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env ALSOFT_DRIVERS=null "$@"
    fi
}

# The pictures every novel here shows. No colour in them is the dialogue's yellow, by which the measuring program
# finds the letters.
draw_pictures() {
    local images="$1"
    mkdir -p "$images"
    convert -size 1280x720 gradient:'#2b2d5c-#7a4a8c' -fill '#1c2a40' -draw 'polygon 0,430 0,330 300,360 560,430' \
        "PNG32:$images/harbour.png"
    convert -size 1280x720 gradient:'#13203a-#3a5a6b' -fill '#22324a' -draw 'rectangle 0,560 1280,720' \
        "PNG32:$images/study.png"
    local name dress
    for name in anna ben; do
        dress="$([ "$name" = anna ] && echo '#2a9d8f' || echo '#c8553d')"
        convert -size 320x560 xc:none -fill "$dress" -draw 'polygon 160,190 60,560 260,560' \
            -fill '#e0b090' -draw 'circle 160,120 160,56' -fill '#3d2b56' -draw 'ellipse 160,76 64,30 180,360' \
            "PNG32:$images/$name.png"
        convert "$images/$name.png" -flop "PNG32:$images/${name}_turned.png"
    done
    convert -size 1200x190 xc:none -fill '#141830cc' -stroke '#8ab4f8' -strokewidth 3 \
        -draw 'roundrectangle 2,2 1197,187 22,22' "PNG32:$images/skin.png"
    convert -size 24x24 xc:none -fill '#8ab4f8' -draw 'polygon 3,6 21,6 12,20' "PNG32:$images/waiticon.png"
}

# The dialogue box, in which the measuring program looks for the letters.
box=(70 545 1140 150)

# A novel folder with the pictures, the font, the settings (30 ms a letter) and Scripts/main.txt from standard input.
make_novel() {
    local dir="$1"
    mkdir -p "$dir/Scripts" "$dir/Fonts"
    cp -r "$work/Images" "$dir/"
    cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$dir/Fonts/"
    cp "$root/sample/Commands.xml" "$dir/"
    cat >"$dir/Config.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Harborstage>
	<Settings MsgboxScript="" />
	<GameSettings sysWaitInputIcon="waiticon.png" sysMasterVolume="100" sysBgmVolume="80" sysSfxVolume="80" sysVoiceVolume="100" sysTextSpeed="30" sysAutoSpeed="30" sysAutoWait="1500" />
</Harborstage>
EOF
    cat >"$dir/Scripts/main.txt"
}

# The opening every script here shares: a background, two figures and the skinned box with yellow letters.
opening() {
    cat <<EOF
bg harbour.png
cg anna anna.png 150 110 2
cg ben ben.png 830 110 2
textbox msg ${box[0]} ${box[1]} 10 ${box[2]} ${box[3]} DejaVuSans.ttf 28
useTextbox msg
textboxSkin skin.png 40 522
textColour 255 255 0
textWordWrap true
textSpeed 30
textAutoWait on
EOF
}

# COUNT script lines as an author writes them: mostly dialogue, a figure changing every few lines, now and then a
# new background.
story_lines() {
    local count="$1" i
    local -a backgrounds=(harbour.png study.png)
    local -a changes=("anna anna_turned.png 150" "ben ben_turned.png 830" "anna anna.png 150" "ben ben.png 830")
    local -a said=("Anna: Line %d, and the harbour lights are coming on one by one."
        "Ben: Then we had better hurry; the last boat leaves at nine (line %d)."
        "Anna: Wait for me! I still have to find my lantern, line %d."
        "Ben: Line %d. The wind is turning, and the gulls have gone quiet.")
    for ((i = 1; i <= count; i++)); do
        if ((i % 40 == 0)); then
            printf '~bg %s\n' "${backgrounds[i / 40 % 2]}"
        elif ((i % 5 == 0)); then
            printf '~cg %s 110 2\n' "${changes[i / 5 % 4]}"
        else
            # shellcheck disable=SC2059
            printf "\"${said[i % 4]}\n" "$i"
        fi
    done
}

draw_pictures "$work/Images"
{
    opening
    echo '"The lanterns along the quay glow softly as evening falls.'
} | make_novel "$work/scene"
{
    opening
    echo 'textProgress 2'
    story_lines "$lines"
    echo '~endGame'
} | make_novel "$work/skip"
{
    opening
    echo 'textProgress 2'
    echo 'endGame'
} | make_novel "$work/start"

measure="$build/bin/quillhaven_measure"
# The software GL driver draws with every free core, so the figures follow the machine's load: compare runs made
# under the same load.
echo "measure: the median of $runs runs each (optimised build, $(date -u '+%Y-%m-%d %H:%M UTC'), load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg))"
on_screen "$measure" scene "$work/scene" "$runs" "${box[@]}" || status=1
on_screen "$measure" skip "$work/skip" "$work/start" "$lines" "$runs" "$timeout" || status=1

bench="$build/bin/quillhaven_bench"
if [ -n "$("$bench" --benchmark_list_tests=true --benchmark_filter=BM_Editor 2>/dev/null || true)" ]; then
    (cd "$work" && on_screen "$bench" --benchmark_filter=BM_Editor) || status=1
else
    echo "measure: the benchmark program has no BM_Editor benchmarks yet"
fi
exit "$status"
