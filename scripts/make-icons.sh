#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the program's icon, data/icons/hicolor/scalable/apps/<id>.svg, to the PNG sizes that
# are installed beside it (32, 48, 128 and 256 px) and that the window takes as its icon through
# data/icons/icons.qrc. The PNGs are kept in the repository; run this after changing the SVG.
# Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"

id=org.example.ac_wattmeter
if ! command -v rsvg-convert >/dev/null; then
    echo "make-icons.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 2
fi
for size in 32 48 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" "scalable/apps/$id.svg" \
        --output "${size}x${size}/apps/$id.png"
done
echo "make-icons.sh: rendered 32, 48, 128 and 256 px icons"
