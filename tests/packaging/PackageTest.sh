#!/usr/bin/env bash
# Builds the Debian package from the build, checks its control data and contents, then installs
# it into a throw-away root with dpkg, runs the program from there and removes it again.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# cpack writes into the current folder: keep its staging out of the build folder.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack failed: $(cat "$work/cpack.log")"
arch=$(dpkg --print-architecture)
deb=$work/out/zarnel_1.0.1_${arch}.deb
[ -f "$deb" ] || fail "no $deb: $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zarnel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = 1.0.1 ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[ "$(field Priority)" = optional ] || fail "Priority is '$(field Priority)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
for library in libqt6widgets6 libqt6dbus6 libc6 libqt6svg6 libqt6sql6-sqlite; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# No maintainer scripts: the package only places files.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm' || true)
[ -z "$scripts" ] || fail "unexpected maintainer scripts: $scripts"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | LC_ALL=C sort)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected="./usr/bin/zarnel
./usr/lib/$multiarch/zarnel/libzarnel-core.so
./usr/lib/$multiarch/zarnel/libzarnel-desktop.so
./usr/lib/$multiarch/zarnel/libzarnel-history.so
./usr/lib/$multiarch/zarnel/libzarnel-session-bus.so
./usr/share/applications/com.tarvonic.zarnel.desktop
./usr/share/bash-completion/completions/zarnel
./usr/share/doc/zarnel/copyright
./usr/share/icons/hicolor/scalable/apps/com.tarvonic.zarnel.svg
./usr/share/icons/hicolor/symbolic/apps/com.tarvonic.zarnel-running-symbolic.svg
./usr/share/icons/hicolor/symbolic/apps/com.tarvonic.zarnel-stopped-symbolic.svg
./usr/share/man/man1/zarnel.1.gz
./usr/share/metainfo/com.tarvonic.zarnel.metainfo.xml"
[ "$contents" = "$expected" ] || fail "package contents differ:
$(diff <(echo "$expected") <(echo "$contents"))"
# The copyright file in Debian's machine-readable format: the format line, then paragraphs of
# fields (continuation lines start with a space), one of them naming every file's holder and licence.
copyright=$work/copyright
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zarnel/copyright >"$copyright" || fail "no copyright file to read"
[ "$(head -n1 "$copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "the copyright file does not start with the format line: $(head -n1 "$copyright")"
malformed=$(grep -nvE '^([A-Za-z-]+: ?.*| .+|)$' "$copyright" || true)
[ -z "$malformed" ] || fail "lines of the copyright file that are no field: $malformed"
awk -v RS= '/(^|\n)Files: \*/ && /\nCopyright: [^\n]*Tarvonic/ && /\nLicense: [^\n]+/ {found = 1} END {exit !found}' "$copyright" ||
    fail "no paragraph gives every file's holder and licence: $(cat "$copyright")"
owner=$(dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/zarnel" {print $2, $1}')
[ "$owner" = "root/root -rwxr-xr-x" ] || fail "the program is installed as '$owner'"

# Install into a root of its own: an empty dpkg database, dependencies taken as present (they
# are, on this machine; the root only receives our files).
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
force=(--force-depends --force-script-chrootless)
[ "$(id -u)" -eq 0 ] || force+=(--force-not-root)
dpkg --root="$root" "${force[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg.log")"
dpkg --root="$root" -s zarnel 2>/dev/null | grep -q '^Status: install ok installed' || fail "not installed"
version=$(env -i HOME="$work" PATH=/usr/bin:/bin "$root/usr/bin/zarnel" --version </dev/null)
[ "$version" = "Zarnel 1.0.1" ] || fail "the installed program printed '$version'"
dpkg --root="$root" "${force[@]}" -r zarnel >"$work/dpkg.log" 2>&1 || fail "dpkg -r failed: $(cat "$work/dpkg.log")"
left=$(find "$root" -path "$root/var" -prune -o -type f -print)
[ -z "$left" ] || fail "files left after removal: $left"
