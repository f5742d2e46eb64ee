#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_tree.sh install BUILD: installs BUILD into a temporary root; check_tree.sh deb FOLDER:
# unpacks the one .deb in FOLDER (exit 77, skipped, where none was built) and checks its control
# fields. Then both check what a desktop needs of the tree: the program, which runs and gives
# its version, the man page, the menu entry and the AppStream metadata (both validated), and
# the icon in every size. Each command is traced, so a failure shows what failed.
set -euxo pipefail
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
id=org.example.ac_wattmeter
if [ "$1" = install ]; then
    DESTDIR="$root" cmake --install "$2" --prefix /usr >/dev/null
else
    debs=("$2"/*.deb)
    [ -e "${debs[0]}" ] || exit 77
    [ "${#debs[@]}" -eq 1 ]
    dpkg-deb -x "${debs[0]}" "$root"
    fields="$(dpkg-deb -f "${debs[0]}")"
    for want in "Package: ac-wattmeter" "Version: 0.2.0" "Section: science" \
        "Maintainer: AC-Wattmeter maintainers <maintainers@ac-wattmeter.example.org>" \
        "libqt6widgets6 (>=" "libqt6multimedia6 (>=" "libsndfile1 (>=" "libsoxr0 (>="; do
        grep -qF "$want" <<<"$fields"
    done
fi
cd "$root/usr/share"
[ -f man/man1/ac-wattmeter.1 ] && [ -f icons/hicolor/scalable/apps/$id.svg ]
for px in 32 48 128 256; do
    [ "$(od -An -j16 -N4 -tu4 --endian=big icons/hicolor/${px}x$px/apps/$id.png)" -eq $px ]
done
desktop-file-validate applications/$id.desktop
appstreamcli validate --no-net --pedantic metainfo/$id.metainfo.xml >/dev/null
[ "$(../bin/ac-wattmeter --version)" = "ac-wattmeter 0.2.0" ]
