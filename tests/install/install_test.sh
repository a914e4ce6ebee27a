#!/usr/bin/env bash
# The installed layout: `cmake --install` into a scratch prefix, then the installed programs find
# their shared files from there, and the desktop files pass the freedesktop tools.
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$scratch/usr" >/dev/null
bin=$scratch/usr/bin
share=$scratch/usr/share

# Asked for their version, the programs need neither a display nor a port.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/qmvwin" --version)
[ "$(head -n 1 <<<"$out")" = "qmvwin $version" ] || fail "qmvwin --version: $out"
grep -qx "language file: $bin/../share/qmvwin/QMVLanguage.Lib" <<<"$out" || fail "language file: $out"
grep -qx "manual: $bin/../share/qmvwin/Manual/index.html" <<<"$out" || fail "manual: $out"
[ "$("$bin/qmvtool" --version)" = "qmvtool $version" ] || fail "qmvtool --version"
[ "$("$bin/qmvsim" --version)" = "qmvsim $version" ] || fail "qmvsim --version"
"$bin/qmvwin" --help | grep -q '^usage: qmvwin' || fail "qmvwin --help"

# The installed qmvtool speaks with the installed language file's words.
printf 'not a header\r\n' >"$scratch/bad.q27"
if "$bin/qmvtool" check "$scratch/bad.q27" >"$scratch/check.out" 2>&1; then
    fail "a bad file passed the check"
fi
grep -q "The file is damaged or is not a data file." "$scratch/check.out" ||
    fail "qmvtool check: $(cat "$scratch/check.out")"

# The installed program starts (offscreen) and keeps running until stopped.
status=0
HOME=$scratch QT_QPA_PLATFORM=offscreen timeout 3 "$bin/qmvwin" "$share/qmvwin/examples/logger.q27" \
    >"$scratch/run.out" 2>&1 || status=$?
[ "$status" = 124 ] || fail "qmvwin ended with status $status: $(cat "$scratch/run.out")"

# Desktop files.
desktop-file-validate "$share/applications/com.brasketon.qmvwin.desktop"
appstreamcli validate --no-net --pedantic "$share/metainfo/com.brasketon.qmvwin.metainfo.xml" >/dev/null ||
    fail "appstreamcli: $(appstreamcli validate --no-net --pedantic "$share/metainfo/com.brasketon.qmvwin.metainfo.xml")"
xmllint --noout "$share/mime/packages/qmvwin.xml" "$share/icons/hicolor/scalable/apps/com.brasketon.qmvwin.svg"
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/com.brasketon.qmvwin.png
    # PNG signature, then the header's width and height as 32-bit big-endian numbers.
    [ "$(od -An -tx1 -N24 "$png" | tr -d ' \n')" = "$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")" ] ||
        fail "icon $png"
done
grep -q 'ATTRS{idVendor}=="10c4", ATTRS{idProduct}=="ea60", TAG+="uaccess"' \
    "$scratch/usr/lib/udev/rules.d/60-qmvwin-cp210x.rules" || fail "udev rule"
for page in qmvwin qmvtool qmvsim; do
    zcat "$share/man/man1/$page.1.gz" | grep -q '^\.TH ' || fail "man page $page"
done

# The data file type: by name, and by the header line alone; other text stays plain text.
update-mime-database "$share/mime"
cp "$share/qmvwin/examples/sensor.q27" "$scratch/named.q27"
cp "$share/qmvwin/examples/logger.q27" "$scratch/unnamed"
printf 'hello, world\r\n' >"$scratch/other"
type_of() {
    XDG_DATA_HOME=$scratch/none XDG_DATA_DIRS=$share gio info -a standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}
[ "$(type_of "$scratch/named.q27")" = application/x-qmv27 ] || fail "by name: $(type_of "$scratch/named.q27")"
[ "$(type_of "$scratch/unnamed")" = application/x-qmv27 ] || fail "by content: $(type_of "$scratch/unnamed")"
[ "$(type_of "$scratch/other")" = text/plain ] || fail "plain text: $(type_of "$scratch/other")"
echo "install tree OK"
