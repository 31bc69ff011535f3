#!/usr/bin/env bash
# Installs what building, testing and playing need on Debian 12 (run as root). Installs only what is missing, so
# repeated runs on one machine stay quick.
set -euo pipefail

packages=(
    build-essential cmake ccache pkg-config
    clang libclang-rt-14-dev llvm
    libsfml-dev libphysfs-dev libpugixml-dev libx11-dev libxtst-dev libxcomposite-dev libpng-dev libconcurrentqueue-dev libzip-dev
    googletest libgtest-dev libbenchmark-dev
    xvfb xauth libgl1-mesa-dri imagemagick fonts-dejavu-core fonts-vlgothic zip
    qt6-base-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The sample novel's fonts come from the font packages above, each with its package's licence beside it
# (sample/Fonts/ stays out of git).
root="$(cd "$(dirname "$0")/.." && pwd)"
fonts="$root/sample/Fonts"
mkdir -p "$fonts"
copy_font() {
    local package="$1" font="$2"
    cp -u "$font" "$fonts/"
    cp -u "/usr/share/doc/$package/copyright" "$fonts/$package-copyright.txt"
}
copy_font fonts-dejavu-core /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
copy_font fonts-vlgothic /usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf
