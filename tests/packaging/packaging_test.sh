#!/usr/bin/env bash
# Checks of the files that install the station on a desktop.
#   packaging_test.sh <source dir> <build dir> <check>
# check: desktop | metainfo | manpage | scripts | ids | install
# Exit 0 passed, 1 failed, 77 skipped (a checking tool is not installed).
set -uo pipefail

src="$1"
build="$2"
check="$3"
pkg="$src/packaging"
app_id="org.kestovar.Kestovar"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
need() {
  command -v "$1" >/dev/null 2>&1 || { echo "SKIP: $1 is not installed"; exit 77; }
}
# Lines of output that are not hints: any such line counts as a finding.
findings() { grep -v -E '^\s*$|: hint: |^\s*P: |pedantic: [0-9]+$|Validation was successful' || true; }

# A list of lines on one line, for messages.
flat() { echo "$1" | tr '\n' ' ' | sed 's/ $//'; }

desktop_value() { sed -n "s/^$1=//p" "$pkg/$app_id.desktop"; }

# The supported cameras as the program knows them, "vvvv:pppp" in lower case, sorted:
# the rows of the camera table.
program_ids() {
  sed -n 's/.*{ *"VID_\([0-9A-Fa-f]\{4\}\)", *"PID_\([0-9A-Fa-f]\{4\}\)".*/\1:\2/p' \
    "$src/src/capture/CameraTable.h" | tr 'A-F' 'a-f' | sort -u
}

case "$check" in
desktop)
  need desktop-file-validate
  out="$(desktop-file-validate "$pkg/$app_id.desktop" 2>&1)" || fail "desktop-file-validate failed"
  echo "$out"
  [ -z "$(echo "$out" | findings)" ] || fail "desktop-file-validate reported errors or warnings"
  [ "$(desktop_value Type)" = Application ] || fail "Type is not Application"
  [ "$(desktop_value Exec)" = kestovar ] || fail "Exec is not kestovar"
  [ "$(desktop_value Icon)" = "$app_id" ] || fail "Icon is not $app_id"
  [ "$(desktop_value Name)" = Kestovar ] || fail "Name is not the window title Kestovar"
  # The program names its windows "kestovar" (X11 class, Wayland app id); the desktop
  # entry must claim them or docks show a second, anonymous icon.
  wm_class="$(desktop_value StartupWMClass)"
  grep -q "setDesktopFileName(QStringLiteral(\"$wm_class\"))" "$src/src/app/"*.cpp \
    || grep -q "setDesktopFileName(QStringLiteral(\"$app_id\"))" "$src/src/app/"*.cpp \
    || fail "neither StartupWMClass ($wm_class) nor $app_id is the desktop file name the program sets"
  need xmllint
  xmllint --noout "$pkg/$app_id.svg" || fail "the icon is not well-formed XML"
  grep -q '<svg[^>]*viewBox=' "$pkg/$app_id.svg" || fail "the icon has no viewBox and cannot scale"
  ;;

metainfo)
  need appstreamcli
  out="$(appstreamcli validate --no-net --pedantic "$pkg/$app_id.metainfo.xml" 2>&1)" \
    || fail "appstreamcli validate failed"
  echo "$out"
  [ -z "$(echo "$out" | findings)" ] || fail "appstreamcli reported errors, warnings or infos"
  grep -q "<id>$app_id</id>" "$pkg/$app_id.metainfo.xml" || fail "the component id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$pkg/$app_id.metainfo.xml" \
    || fail "the launchable is not $app_id.desktop"
  version="$(sed -n 's/^project(kestovar VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
  grep -q "<release version=\"$version\"" "$pkg/$app_id.metainfo.xml" \
    || fail "no release entry for the project's version $version"
  grep -q "^kestovar ($version)" "$pkg/changelog" || fail "the changelog does not start with $version"
  ;;

manpage)
  need groff
  out="$(groff -man -Tutf8 -ww -z "$pkg/kestovar.1" 2>&1)" || fail "groff failed"
  [ -z "$out" ] || { echo "$out"; fail "groff warnings"; }
  if command -v man >/dev/null 2>&1; then
    out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$pkg/kestovar.1" 2>&1 >/dev/null)"
    [ -z "$out" ] || { echo "$out"; fail "man warnings"; }
  fi
  # Every option of the usage text and every KESTOVAR_ variable the program reads is
  # documented.
  for opt in --simulate-camera --help -h fullhd fullhd2 pro; do
    grep -q -- "$(printf '%s' "$opt" | sed 's/-/\\\\-/g')" "$pkg/kestovar.1" || fail "the manual page does not name $opt"
  done
  for var in $(grep -rhoE 'KESTOVAR_[A-Z_]+' "$src/src" --include='*.cpp' | sort -u); do
    grep -q "^\.B $var\$" "$pkg/kestovar.1" || fail "the manual page's ENVIRONMENT lacks $var"
  done
  for sig in SIGTERM SIGINT SIGUSR1 SIGUSR2; do
    grep -q "$sig" "$pkg/kestovar.1" || fail "the manual page does not name $sig"
  done
  ;;

scripts)
  for s in postinst postrm; do
    [ -x "$pkg/$s" ] || fail "$s is not executable"
    sh -n "$pkg/$s" || fail "$s has a syntax error"
    if command -v shellcheck >/dev/null 2>&1; then
      shellcheck -s sh "$pkg/$s" || fail "shellcheck found problems in $s"
    fi
  done
  # The settings folder: writable by every operator and without the sticky bit, which
  # would stop one operator's save from replacing another operator's file.
  mode="$(sed -n 's/^ *chmod \([0-7]*\) \/var\/lib\/kestovar$/\1/p' "$pkg/postinst")"
  [ "$mode" = 0777 ] || fail "postinst makes /var/lib/kestovar with mode '$mode', not 0777"
  # The settings go only with a purge.
  awk '/^ *remove\)/,/;;/' "$pkg/postrm" | grep -q 'var/lib/kestovar' \
    && fail "postrm removes the settings on remove"
  awk '/^ *purge\)/,/;;/' "$pkg/postrm" | grep -q 'rm -rf /var/lib/kestovar' \
    || fail "postrm does not remove the settings on purge"

  # Run the scripts against a stand-in for /var/lib (as root, where two accounts can
  # be played with setpriv): one operator's save must replace another operator's file.
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
    root="$(mktemp -d)"
    trap 'rm -rf "$root"' EXIT
    chmod 0755 "$root"
    dir="$root/var/lib/kestovar"
    for s in postinst postrm; do
      sed "s|/var/lib/kestovar|$dir|g" "$pkg/$s" >"$root/$s"
    done
    as() { setpriv --reuid="$1" --regid="$1" --clear-groups sh -c "umask 022; $2"; }
    sh "$root/postinst" configure || fail "postinst configure failed"
    [ "$(stat -c '%a %u' "$dir" 2>/dev/null)" = "777 0" ] \
      || fail "the settings folder is '$(stat -c '%a %u' "$dir" 2>/dev/null)', not '777 0'"
    as 65534 "echo first > '$dir/HKEY_LOCAL_MACHINE.reg'" || fail "an operator cannot save in the folder"
    as 65533 "echo second > '$dir/.HKEY_LOCAL_MACHINE.reg.tmp' && mv '$dir/.HKEY_LOCAL_MACHINE.reg.tmp' '$dir/HKEY_LOCAL_MACHINE.reg'" \
      || fail "a second operator cannot replace the first operator's settings file"
    [ "$(cat "$dir/HKEY_LOCAL_MACHINE.reg")" = second ] || fail "the second operator's save did not land"
    # An administrator's restriction survives an upgrade.
    chmod 2770 "$dir"
    sh "$root/postinst" configure 1.0 || fail "postinst configure (upgrade) failed"
    [ "$(stat -c '%a' "$dir")" = 2770 ] || fail "an upgrade changed the folder's mode the administrator set"
    for step in upgrade remove; do
      sh "$root/postrm" $step || fail "postrm $step failed"
      [ -f "$dir/HKEY_LOCAL_MACHINE.reg" ] || fail "postrm $step removed the settings"
    done
    sh "$root/postrm" purge || fail "postrm purge failed"
    [ ! -e "$dir" ] || fail "postrm purge left the settings folder"
  else
    echo "not root: the scripts were checked but not run"
  fi
  ;;

ids)
  expected="$(program_ids)"
  [ -n "$expected" ] || fail "no camera ids found in CameraTable.h"
  echo "cameras of the program: $(flat "$expected")"
  rules="$pkg/70-kestovar.rules"
  v4l="$(sed -n 's/^SUBSYSTEM=="video4linux", ATTRS{idVendor}=="\([0-9a-f]*\)", ATTRS{idProduct}=="\([0-9a-f]*\)".*/\1:\2/p' "$rules" | sort -u)"
  [ "$v4l" = "$expected" ] || fail "video4linux rules cover '$(flat "$v4l")', the program '$(flat "$expected")'"
  # The station needs the video nodes only: the cameras' USB nodes keep their access.
  grep -q '^SUBSYSTEM=="usb"' "$rules" && fail "the rule widens access to the cameras' USB device nodes"
  # Every rule line gives uaccess and keeps group video.
  grep '^SUBSYSTEM==' "$rules" | grep -v 'GROUP="video", MODE="0660", TAG+="uaccess"' \
    && fail "a rule line lacks GROUP=\"video\", MODE=\"0660\", TAG+=\"uaccess\""
  # uaccess works only when tagged before 73-seat-late.rules.
  number="$(basename "$rules")"
  [ "$((10#${number%%-*}))" -lt 73 ] || fail "the rule file sorts after 73-seat-late.rules"
  post="$(sed -n 's/^cameras="\(.*\)"$/\1/p' "$pkg/postinst" | tr ' ' '\n' | sort -u)"
  [ "$post" = "$expected" ] || fail "postinst triggers '$(flat "$post")', the program '$(flat "$expected")'"
  meta="$(sed -n 's/.*<modalias>usb:v\([0-9A-F]*\)p\([0-9A-F]*\)d\*<\/modalias>.*/\1:\2/p' \
    "$pkg/$app_id.metainfo.xml" | tr 'A-F' 'a-f' | sort -u)"
  [ "$meta" = "$expected" ] || fail "metainfo modaliases '$(flat "$meta")', the program '$(flat "$expected")'"
  for id in $expected; do
    grep -q "USB id $id" "$pkg/kestovar.1" || fail "the manual page does not name $id"
  done
  ;;

install)
  [ -x "$build/kestovar" ] || { echo "SKIP: the program is not built"; exit 77; }
  root="$(mktemp -d)"
  trap 'rm -rf "$root"' EXIT
  DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1 \
    || { cat "$root.log"; rm -f "$root.log"; fail "cmake --install failed"; exit 1; }
  rm -f "$root.log"
  u="$root/usr"
  for f in lib/kestovar/kestovar share/applications/$app_id.desktop \
    share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/$app_id.svg \
    share/man/man1/kestovar.1.gz lib/udev/rules.d/70-kestovar.rules \
    share/doc/kestovar/copyright share/doc/kestovar/changelog.gz share/lintian/overrides/kestovar; do
    [ -f "$u/$f" ] || fail "$f is not installed"
  done
  [ "$(readlink "$u/bin/kestovar")" = ../lib/kestovar/kestovar ] \
    || fail "bin/kestovar is not the relative link ../lib/kestovar/kestovar"
  [ -x "$u/bin/kestovar" ] || fail "bin/kestovar does not lead to the program"
  gzip -t "$u/share/man/man1/kestovar.1.gz" || fail "the manual page is not a valid gzip file"
  # Only the program is an executable file: no test, benchmark or tool.
  found="$(find "$root" -type f -perm -u+x | sed "s|^$root||" | sort)"
  [ "$found" = /usr/lib/kestovar/kestovar ] || fail "executables installed besides the program: $found"
  # Nothing outside /usr: the settings folder is made by postinst, not shipped.
  outside="$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)"
  [ -z "$outside" ] || fail "installed outside /usr: $outside"
  # The help file's link beside the program must lead somewhere once installed.
  if [ -L "$u/lib/kestovar/Kestovar_Full_HD_Help.chm" ]; then
    [ -e "$u/lib/kestovar/Kestovar_Full_HD_Help.chm" ] || fail "the help file's link is dangling"
  fi
  if command -v appstreamcli >/dev/null 2>&1; then
    out="$(appstreamcli validate-tree --no-net --pedantic "$root" 2>&1)" || fail "appstreamcli validate-tree failed"
    echo "$out"
    [ -z "$(echo "$out" | findings | grep -v "^$app_id.metainfo.xml$")" ] \
      || fail "appstreamcli validate-tree reported errors, warnings or infos"
  fi
  ;;

*)
  echo "unknown check $check"
  exit 2
  ;;
esac

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "passed"
