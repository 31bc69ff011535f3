#!/usr/bin/env bash
# make-sample-art.sh [LAUNCHER]: draws the sample novel's pictures with ImageMagick and packs them into
# sample/Images.vndat with `quillhaven pack` (LAUNCHER, default build/bin/quillhaven). The pictures are drawn into a
# temporary folder; only the archive lands in sample/. Same tools, same bytes: the PNGs carry no dates.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
launcher="${1:-$root/build/bin/quillhaven}"
[ -x "$launcher" ] || { echo "make-sample-art: no launcher at $launcher (build first)" >&2; exit 2; }
command -v convert >/dev/null || { echo "make-sample-art: ImageMagick's convert is missing (scripts/setup.sh)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/sample-art.XXXXXX")"
trap 'rm -rf "$work"' EXIT
images="$work/Images"
mkdir -p "$images"

# Every picture is written the same way: 8-bit RGBA, no time stamps or other metadata.
save() { convert "$@" -strip -define png:exclude-chunks=date,time -depth 8 "PNG32:$out"; }

# The harbour at dusk: sky, sun, sea with the sun's reflection, hills and a lighthouse.
out="$images/harbour.png" save -size 1280x720 gradient:'#2b2d5c-#f2a65a' \
    -fill '#ffd98a' -draw 'circle 900,430 900,360' \
    \( -size 1280x290 gradient:'#2a4a6b-#10202f' \) -geometry +0+430 -composite \
    -fill '#f7c77288' -draw 'rectangle 860,440 940,446' -draw 'rectangle 870,470 930,475' \
    -draw 'rectangle 880,505 920,509' -draw 'rectangle 888,545 912,548' \
    -fill '#1c2a40' -draw 'polygon 0,430 0,330 140,300 300,360 420,340 560,430' \
    -fill '#22324a' -draw 'polygon 1020,430 1120,370 1280,350 1280,430' \
    -fill '#e8e2d0' -draw 'polygon 200,430 210,250 240,250 250,430' \
    -fill '#c8553d' -draw 'rectangle 207,290 243,310' -draw 'rectangle 204,350 246,370' \
    -fill '#fff3b0' -draw 'rectangle 212,232 238,250' -fill '#c8553d' -draw 'polygon 206,232 225,212 244,232'

# A study at night: wooden wall, a window with stars and the moon, shelves of books and a desk.
args=(-size 1280x720 gradient:'#5a3e36-#2e1f1b'
    -fill '#13203a' -draw 'rectangle 820,90 1140,390'
    -fill '#f4f1de' -draw 'circle 1060,160 1060,130' -fill '#13203a' -draw 'circle 1048,152 1048,126'
    -fill '#6b4a3a' -draw 'rectangle 812,82 1148,96' -draw 'rectangle 812,384 1148,398'
    -draw 'rectangle 812,82 826,398' -draw 'rectangle 1134,82 1148,398' -draw 'rectangle 974,82 988,398'
    -fill '#4a2f25' -draw 'rectangle 0,560 1280,720' -fill '#3a241c' -draw 'rectangle 0,560 1280,572')
for star in 850,120 900,200 940,140 1000,300 1090,250 1110,340 870,330 930,260; do
    args+=(-fill '#fff6c9' -draw "circle $star ${star%,*},$((${star#*,} + 2))")
done
shelf_colours=('#9b2226' '#005f73' '#ee9b00' '#0a9396' '#ae2012' '#94d2bd' '#bb3e03' '#e9d8a6')
for row in 0 1 2; do
    y=$((110 + row * 150))
    args+=(-fill '#3b2720' -draw "rectangle 60,$((y + 110)) 560,$((y + 124))")
    x=80
    for i in 0 1 2 3 4 5 6 7 8 9 10 11; do
        width=$((22 + (i * 7 + row * 5) % 14))
        height=$((80 + (i * 13 + row * 11) % 28))
        args+=(-fill "${shelf_colours[$(((i + row) % 8))]}" -draw "rectangle $x,$((y + 110 - height)) $((x + width)),$((y + 109))")
        x=$((x + width + 6))
    done
done
args+=(-fill '#6f4e37' -draw 'rectangle 640,470 1220,500' -draw 'rectangle 670,500 700,640' -draw 'rectangle 1160,500 1190,640'
    -fill '#fefae0' -draw 'rectangle 760,452 880,470' -fill '#f7c772' -draw 'circle 1100,440 1100,420')
out="$images/study.png" save "${args[@]}"

# A garden under the stars, for the end of the tour.
args=(-size 1280x720 gradient:'#0b1026-#2c3e73'
    -fill '#1b4332' -draw 'ellipse 300,760 700,260 180,360' -fill '#2d6a4f' -draw 'ellipse 1000,780 800,280 180,360'
    -fill '#f4f1de' -draw 'circle 200,140 200,100')
for star in 400,80 520,160 640,60 760,130 880,90 1010,170 1120,70 1220,150 330,220 700,230 960,250 1180,260; do
    args+=(-fill '#fff6c9' -draw "circle $star ${star%,*},$((${star#*,} + 2))")
done
for flower in 180,600,'#ffafcc' 260,640,'#ffc8dd' 420,590,'#cdb4db' 900,610,'#ffafcc' 1040,650,'#bde0fe' 1160,600,'#ffc8dd'; do
    IFS=, read -r x y colour <<<"$flower"
    args+=(-fill "$colour" -draw "circle $x,$y $x,$((y + 9))" -fill '#ffe066' -draw "circle $x,$y $x,$((y + 3))")
done
out="$images/garden.png" save "${args[@]}"

# Two figures with transparent surroundings: the guide (with a quill) and a friend.
figure() {
    local hair="$1" skin="$2" dress="$3" trim="$4"
    shift 4
    out="$out" save -size 320x560 xc:none \
        -stroke "$skin" -strokewidth 12 -draw 'line 150,220 92,340' -draw 'line 170,220 238,300' -stroke none \
        -fill "$dress" -draw 'polygon 160,190 60,560 260,560' \
        -fill "$trim" -draw 'rectangle 100,400 220,412' \
        -fill "$skin" -draw 'rectangle 146,168 174,200' \
        -fill "$hair" -draw 'ellipse 160,110 78,84 180,360' \
        -fill "$skin" -draw 'circle 160,120 160,56' \
        -fill "$hair" -draw 'ellipse 160,76 64,30 180,360' \
        -fill '#2b2d42' -draw 'circle 138,122 138,128' -draw 'circle 182,122 182,128' \
        -fill '#e07a5f' -draw 'ellipse 160,150 12,5 0,180' \
        -fill '#f4a2a8' -draw 'circle 126,140 126,146' -draw 'circle 194,140 194,146' \
        "$@"
}
out="$images/guide.png" figure '#3d2b56' '#f2d0b3' '#2a9d8f' '#e9c46a' \
    -fill '#fefae0' -draw 'polygon 232,306 282,150 296,156 246,310' -fill '#264653' -draw 'line 239,308 231,336'
out="$images/friend.png" figure '#b5651d' '#e8b796' '#c8553d' '#fefae0'

# A lantern, small enough to stand in front of or behind a figure.
out="$images/lantern.png" save -size 140x200 xc:none \
    -fill '#ffd16633' -draw 'circle 70,110 70,20' -fill '#ffd16666' -draw 'circle 70,110 70,50' \
    -fill '#3a3a3a' -draw 'rectangle 40,60 100,66' -draw 'rectangle 40,160 100,166' \
    -draw 'rectangle 40,60 46,166' -draw 'rectangle 94,60 100,166' -draw 'line 70,30 70,60' \
    -fill '#ffe9a8' -draw 'rectangle 47,67 93,159'

# The skins: the dialogue box, a tall paper for vertical text, the message box.
out="$images/skin.png" save -size 1200x190 xc:none -fill '#141830cc' -stroke '#e9c46a' -strokewidth 3 \
    -draw 'roundrectangle 2,2 1197,187 22,22'
out="$images/paper.png" save -size 260x470 xc:none -fill '#fdf6e3ee' -stroke '#8d6e63' -strokewidth 4 \
    -draw 'roundrectangle 3,3 256,466 16,16'
# A panel in the message box's colours (navy, with an orange rim), WIDTH x HEIGHT.
panel() {
    save -size "$1x$2" xc:none -fill '#1d2d44ee' -stroke '#f4a261' -strokewidth 4 \
        -draw "roundrectangle 3,3 $(($1 - 4)),$(($2 - 4)) 26,26"
}
out="$images/msgbox.png" panel 640 240
# The settings panel, tall enough for five sliders and a button; the save and load screen's panels: one for a row
# of save slots above a row of load slots, one for the title screen's row of load slots.
out="$images/panel.png" panel 640 420
out="$images/savepanel.png" panel 960 640
out="$images/loadpanel.png" panel 960 400
# The mask of the harbour's closing transition: light in the middle, dark at the edges, so the edges close first.
out="$images/iris.png" save -size 640x360 radial-gradient:white-black

# Buttons: a plank in three looks (untouched, touched, clicked), and the sliders' knob.
out="$images/button.png" save -size 220x60 xc:none -fill '#1d2d44dd' -stroke '#e9c46a' -strokewidth 3 \
    -draw 'roundrectangle 2,2 217,57 16,16'
out="$images/button_over.png" save -size 220x60 xc:none -fill '#2a9d8fee' -stroke '#fefae0' -strokewidth 3 \
    -draw 'roundrectangle 2,2 217,57 16,16'
out="$images/button_down.png" save -size 220x60 xc:none -fill '#e76f51ee' -stroke '#fefae0' -strokewidth 3 \
    -draw 'roundrectangle 2,2 217,57 16,16'
out="$images/knob.png" save -size 28x28 xc:none -fill '#e9c46a' -stroke '#1d2d44' -strokewidth 3 \
    -draw 'circle 14,14 14,2'
out="$images/track.png" save -size 428x8 xc:none -fill '#fefae099' -draw 'roundrectangle 0,0 427,7 4,4'

# An empty save slot in three looks, the size of a thumbnail (a fifth of the 1280 x 720 screen): a dashed frame
# around a quill's nib, so that a slot reads as empty until a saved scene shows in it.
slot() {
    local fill="$1" edge="$2" nib="$3"
    out="$out" save -size 256x144 xc:none -fill "$fill" -stroke "$edge" -strokewidth 3 \
        -draw 'stroke-dasharray 14 8 roundrectangle 2,2 253,141 12,12' \
        -stroke none -fill "$nib" -draw 'polygon 128,44 146,78 128,104 110,78' \
        -fill "$fill" -draw 'circle 128,76 128,80' -stroke "$fill" -strokewidth 3 -draw 'line 128,80 128,100'
}
out="$images/slot.png" slot '#1d2d44cc' '#e9c46a' '#e9c46a88'
out="$images/slot_over.png" slot '#2a9d8fdd' '#fefae0' '#fefae0cc'
out="$images/slot_down.png" slot '#e76f51dd' '#fefae0' '#fefae0cc'

# An empty look for a picture that should no longer show.
out="$images/blank.png" save -size 1x1 xc:none
out="$images/waiticon.png" save -size 24x24 xc:none -fill '#e9c46a' -draw 'polygon 3,6 21,6 12,20'

"$launcher" pack "$images" "$work/Images.vndat"
mv "$work/Images.vndat" "$root/sample/Images.vndat"
echo "make-sample-art: wrote $root/sample/Images.vndat"
