#!/usr/bin/env bash
# make-sample-sounds.sh [LAUNCHER]: makes the sample novel's sounds with sox and espeak-ng and packs each kind into
# its archive (sample/BGM.vndat, SFX.vndat, Voices.vndat) with `quillhaven pack` (LAUNCHER, default
# build/bin/quillhaven): a short music loop, a harbour bell and the guide's spoken line. Everything is
# synthesised here; nothing is copied from elsewhere.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
launcher="${1:-$root/build/bin/quillhaven}"
[ -x "$launcher" ] || { echo "make-sample-sounds: no launcher at $launcher (build first)" >&2; exit 2; }
for tool in sox espeak-ng; do
    command -v "$tool" >/dev/null || { echo "make-sample-sounds: $tool is missing (apt-get install sox espeak-ng)" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/sample-sounds.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/BGM" "$work/SFX" "$work/Voices"

# The music: a calm eight-second loop of four plucked chords over a soft pad (OGG Vorbis).
chord() { sox -n -r 22050 -c 1 "$work/$1.wav" synth 2 pluck "$2" pluck "$3" pluck "$4" fade 0 2 0.6 vol 0.25; }
chord c1 C3 E3 G3
chord c2 A2 C3 E3
chord c3 F2 A2 C3
chord c4 G2 B2 D3
sox "$work"/c1.wav "$work"/c2.wav "$work"/c3.wav "$work"/c4.wav "$work/chords.wav"
sox -n -r 22050 -c 1 "$work/pad.wav" synth 8 sine C2 vol 0.08
sox -m "$work/chords.wav" "$work/pad.wav" -C 3 "$work/BGM/harbour.ogg"

# The sound effect: a bell, a struck sine with its overtone dying away.
sox -n -r 22050 -c 1 "$work/SFX/bell.ogg" synth 1.5 sine 880 sine 1320 fade 0 1.5 1.4 vol 0.4

# The voice: the guide's greeting, spoken by espeak-ng.
espeak-ng -v en+f3 -s 150 -w "$work/greeting.wav" "The harbour behind me is a background."
sox "$work/greeting.wav" -r 22050 -c 1 -C 3 "$work/Voices/greeting.ogg"

for kind in BGM SFX Voices; do
    "$launcher" pack "$work/$kind" "$work/$kind.vndat"
    mv "$work/$kind.vndat" "$root/sample/$kind.vndat"
    echo "make-sample-sounds: wrote $root/sample/$kind.vndat"
done
