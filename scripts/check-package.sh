#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the package that `make package` built (build/package/*.deb) with apt-get, as a user
# would, checks that the installed program runs and that its menu entry, icon and manual page are
# in place, then removes the package again and checks that none of its files is left behind.
# Run as root (CI) or with sudo. A machine that had the package installed before has it removed
# afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

debs=(build/package/*.deb)
if [ ! -e "${debs[0]}" ] || [ "${#debs[@]}" -ne 1 ]; then
    echo "check-package.sh: expected exactly one .deb in build/package/ (run make package)" >&2
    exit 2
fi
deb="${debs[0]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
apt() { $sudo apt-get -o DPkg::Lock::Timeout=120 -q "$@"; }
fail() {
    echo "check-package.sh: $*" >&2
    apt remove -y ac-wattmeter >/dev/null 2>&1 || true
    exit 1
}

echo "== installing $deb"
apt install -y "./$deb"
version="$(dpkg-deb -f "$deb" Version)"
[ "$(/usr/bin/ac-wattmeter --version)" = "ac-wattmeter $version" ] || fail "wrong --version"
csv="$(/usr/bin/ac-wattmeter --measure --demo --buffers 3)" || fail "measuring failed"
[ "$(printf '%s\n' "$csv" | wc -l)" -eq 4 ] || fail "expected a header and 3 lines: $csv"
printf '%s\n' "$csv"
id=org.example.ac_wattmeter
for f in /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
    /usr/share/icons/hicolor/48x48/apps/$id.png /usr/share/man/man1/ac-wattmeter.1; do
    [ -f "$f" ] || fail "missing after installing: $f"
done
man -w ac-wattmeter >/dev/null || fail "man cannot find the manual page"

echo "== removing ac-wattmeter"
apt remove -y ac-wattmeter
left=()
while read -r path; do
    [ -e "$path" ] && [ ! -d "$path" ] && left+=("$path")
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|')
[ "${#left[@]}" -eq 0 ] || fail "left behind after removing: ${left[*]}"
echo "check-package.sh: $deb installs, runs and removes cleanly"
