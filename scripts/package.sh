#!/usr/bin/env bash
# Builds the Debian package (release preset) and checks it: its file list, that it depends
# on the Qt 6 runtime and its platform plugins, that its man pages and desktop entry are clean, and that the packaged
# program prints its version in a plain terminal, without a display.
# Usage: scripts/package.sh        (the package is left in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-shlibdeps (dpkg-dev, with build-essential) and file find the dependencies; groff
# and desktop-file-validate check the man pages and the desktop entry.
scripts/deps.sh file groff-base desktop-file-utils
cmake --preset release >/dev/null
cmake --build --preset release --target kovraplotter kovra-devsim kovra_man_pages
rm -f build/release/kovraplotter_*.deb
(cd build/release && cpack >/dev/null)
package=$(ls build/release/kovraplotter_*.deb)
echo "Built $package"

failed=0
fail() {
    echo "FAILED: $*" >&2
    failed=1
}

expected="./usr/bin/kovra-devsim
./usr/bin/kovraplotter
./usr/share/applications/kovraplotter.desktop
./usr/share/icons/hicolor/256x256/apps/kovraplotter.png
./usr/share/icons/hicolor/64x64/apps/kovraplotter.png
./usr/share/man/man1/kovra-devsim.1.gz
./usr/share/man/man1/kovraplotter.1.gz"
files=$(dpkg-deb --fsys-tarfile "$package" | tar -t | grep -v '/$' | sort)
[[ "$files" == "$expected" ]] || fail "file list differs:
$(diff <(echo "$expected") <(echo "$files"))"

depends=$(dpkg-deb -f "$package" Depends)
# The platform plugins too: without them no window opens where apt left out recommendations.
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins; do
    [[ "$depends" == *"$library"* ]] || fail "does not depend on $library: $depends"
done

for page in man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
    [[ -z "$warnings" ]] || fail "$page: $warnings"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
version=$(dpkg-deb -f "$package" Version)
printed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$unpacked/usr/bin/kovraplotter" --version) || fail "--version ended with status $?"
[[ "$printed" == "KovraPlotter $version" ]] ||
    fail "--version printed '$printed', the package is $version"
printed=$("$unpacked/usr/bin/kovra-devsim" --version) || fail "kovra-devsim --version ended with status $?"
[[ "$printed" == "kovra-devsim $version" ]] ||
    fail "kovra-devsim --version printed '$printed', the package is $version"
entry=$(desktop-file-validate "$unpacked/usr/share/applications/kovraplotter.desktop" 2>&1) ||
    fail "desktop entry: $entry"
[[ -z "$entry" ]] || fail "desktop entry: $entry"

[[ $failed -eq 0 ]] && echo "Package checked: $(echo "$files" | wc -l) files, version $version"
exit $failed
