#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb, unpacks it with dpkg -x (no container, no root) and checks what it holds.
#   package_test.sh BUILD_DIR SOURCE_DIR VERSION WITH_GUI(0|1)
set -uo pipefail
build=$1
src=$2
version=$3
gui=$4
# shellcheck source=../common/check.sh
source "$src/tests/common/check.sh"

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" > "$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL cpack"
  exit 1
fi
debs=("$tmp"/out/*.deb)
check "one package" 1 "${#debs[@]}"
deb=${debs[0]}
check "package name" "kestrun_${version}_$(dpkg --print-architecture).deb" "$(basename "$deb")"

# Debian's package names, without their version constraints.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
required=(libc6 libstdc++6 libqt6core6 libqt6network6 libqt6serialport6 libarchive13)
[ "$gui" = 1 ] && required+=(libqt6widgets6 qt6-qpa-plugins)
for package in "${required[@]}"; do
  check "depends on $package" "$package" "$(grep -x -F "$package" <<< "$depends")"
done

# Debian's own checks: no error at all; a warning only where an override in the package says why.
# The CI runs as root, which lintian otherwise only warns about.
lintian --allow-root --no-cfg --tag-display-limit 0 "$deb" > "$tmp/lintian.log" 2>&1
status=$?
# 2 is lintian's answer when it finds errors; anything else means it could not run.
if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
  cat "$tmp/lintian.log"
  check "lintian ran" 0 "$status"
fi
check "lintian errors" "" "$(grep '^E: ' "$tmp/lintian.log")"
grep '^W: ' "$tmp/lintian.log"

root=$tmp/root
dpkg -x "$deb" "$root"
usr=$root/usr
cli=$usr/bin/kestrun-cli

check "version" "kestrun-cli $version" "$("$cli" --version)"
check "emulator version" "kestrun-emulator $version" "$("$usr/bin/kestrun-emulator" --version)"
check "tap version" "kestrun-tap $version" "$("$usr/bin/kestrun-tap" --version)"
demo=$usr/share/doc/kestrun/examples/demo.log
"$cli" list "$demo" > "$tmp/installed.list"
check "list exit" 0 $?
"$build/src/cli/kestrun-cli" list "$src/samples/demo.log" > "$tmp/built.list"
check "list of the installed demo" "" "$(diff "$tmp/built.list" "$tmp/installed.list")"
check "list not empty" 1 "$([ -s "$tmp/installed.list" ] && echo 1)"

doc=$usr/share/doc/kestrun
check "copyright is machine-readable" 1 "$(grep -c '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright")"
check "licence" 1 "$(grep -c -m1 '^License: GPL-3.0-or-later$' "$doc/copyright")"
check "changelog names the version" 1 "$(zcat "$doc/changelog.gz" | grep -c "^kestrun ($version)")"

manuals=(kestrun-cli kestrun-emulator kestrun-tap)
[ "$gui" = 1 ] && manuals+=(kestrun)
for program in "${manuals[@]}"; do
  page=$usr/share/man/man1/$program.1.gz
  check "manual of $program names it" 1 "$(zcat "$page" 2>/dev/null | grep -c '^\.SH NAME')"
done
check "manual lists commands" 1 "$(zcat "$usr/share/man/man1/kestrun-cli.1.gz" | grep -c -m1 'find\\-error')"
check "tap manual tells where the till connects" 1 "$(zcat "$usr/share/man/man1/kestrun-tap.1.gz" | grep -c -m1 'listen')"

# The completion, sourced as bash does, run on "kestrun-cli li<TAB>" and "kestrun-cli list --j<TAB>".
complete_line() { # WORD...
  PATH="$usr/bin:$PATH" bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _kestrun_cli
    echo "${COMPREPLY[*]}"' _ "$usr/share/bash-completion/completions/kestrun-cli" "$@"
}
check "completes a command" "list" "$(complete_line kestrun-cli li)"
check "completes an option" "--json" "$(complete_line kestrun-cli list --j)"
check "completes a device" "emulator emulator:" "$(complete_line kestrun-cli replay --device em)"

if [ "$gui" = 1 ]; then
  check "window version" "kestrun $version" "$("$usr/bin/kestrun" --version)"
  check "window help without a display" "usage: kestrun [FILE]" "$(DISPLAY= WAYLAND_DISPLAY= "$usr/bin/kestrun" --help | head -1)"
  desktop=$usr/share/applications/ru.kelmar.Kestrun.desktop
  check "desktop entry valid" "" "$(desktop-file-validate "$desktop" 2>&1)"
  check "desktop entry offers the log type" 1 "$(grep -c '^MimeType=.*text/x-kestrun-log;' "$desktop")"
  check "desktop entry offers compressed logs" 1 "$(grep -c '^MimeType=.*application/gzip;.*application/zip;' "$desktop")"
  appstreamcli validate --no-net "$usr/share/metainfo/ru.kelmar.Kestrun.metainfo.xml" > "$tmp/appstream.log" 2>&1
  check "metainfo valid" 0 $?
  check "metainfo licence" 1 "$(grep -c '<project_license>GPL-3.0-or-later</project_license>' "$usr/share/metainfo/ru.kelmar.Kestrun.metainfo.xml")"
  check "icon" 1 "$(grep -c '<svg' "$usr/share/icons/hicolor/scalable/apps/ru.kelmar.Kestrun.svg")"
  # A MIME database built from the package's file type alone knows the log type.
  mkdir -p "$tmp/mime/packages"
  cp "$usr/share/mime/packages/ru.kelmar.Kestrun.xml" "$tmp/mime/packages/"
  check "file type accepted" "" "$(XDG_DATA_HOME=$tmp update-mime-database "$tmp/mime" 2>&1)"
  check "log type defined" 1 "$([ -f "$tmp/mime/text/x-kestrun-log.xml" ] && echo 1)"
fi

[ "$failures" -eq 0 ] && echo "all package checks passed"
exit $((failures > 0))
