#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: exactly the expected
# files, a valid desktop entry and AppStream metadata, a manual page that renders without a
# warning, and a program that runs from the prefix.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected="bin/zarnel
lib/$multiarch/zarnel/libzarnel-core.so
lib/$multiarch/zarnel/libzarnel-desktop.so
lib/$multiarch/zarnel/libzarnel-history.so
lib/$multiarch/zarnel/libzarnel-session-bus.so
share/applications/com.tarvonic.zarnel.desktop
share/bash-completion/completions/zarnel
share/doc/zarnel/copyright
share/icons/hicolor/scalable/apps/com.tarvonic.zarnel.svg
share/icons/hicolor/symbolic/apps/com.tarvonic.zarnel-running-symbolic.svg
share/icons/hicolor/symbolic/apps/com.tarvonic.zarnel-stopped-symbolic.svg
share/man/man1/zarnel.1.gz
share/metainfo/com.tarvonic.zarnel.metainfo.xml"
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual"))"

desktop-file-validate "$prefix/share/applications/com.tarvonic.zarnel.desktop" ||
    fail "the desktop entry does not validate"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/com.tarvonic.zarnel.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "the metadata does not validate: $(cat "$work/as.log")"
grep -q '<release version="1.0.1"' "$prefix/share/metainfo/com.tarvonic.zarnel.metainfo.xml" ||
    fail "the metadata does not name release 1.0.1"
warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/zarnel.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
MANWIDTH=80 man -l "$prefix/share/man/man1/zarnel.1.gz" 2>/dev/null | grep -q 'EXIT STATUS' ||
    fail "the manual page has no EXIT STATUS section"
bash -n "$prefix/share/bash-completion/completions/zarnel" || fail "the completion script does not parse"

# The installed program, with a home of its own and no display.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
version=$("$prefix/bin/zarnel" --version </dev/null)
[ "$version" = "Zarnel 1.0.1" ] || fail "--version printed '$version'"
tools=$("$prefix/bin/zarnel" tools --json </dev/null)
count=$(grep -o '"name":"[a-z_]*"' <<<"$tools" | wc -l)
[ "$count" -eq 18 ] || fail "zarnel tools --json listed $count tools: $tools"

# The completion offers the tool names the installed program lists.
completions=$(PATH="$prefix/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1/share/bash-completion/completions/zarnel"
    COMP_WORDS=(zarnel tool-info read_); COMP_CWORD=2; COMP_LINE="zarnel tool-info read_"; COMP_POINT=${#COMP_LINE}
    _zarnel; printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix")
[ "$completions" = "read_file" ] || fail "completing 'zarnel tool-info read_' gave '$completions'"
