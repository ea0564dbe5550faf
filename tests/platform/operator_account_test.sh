#!/usr/bin/env bash
# The station needs no root: an ordinary account in the "video" and "audio" groups runs
# the program and the engine's tests, and everything it writes lands in its own home.
#
#   operator_account_test.sh <build folder>
#
# Needs root to create the account (and removes it again); exits 77 (skipped) otherwise.
set -uo pipefail

build="$(cd "${1:?build folder}" && pwd)"
if [ "$(id -u)" -ne 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
  echo "skipped: creating an operator account needs root, useradd and runuser"
  exit 77
fi
for g in video audio; do
  getent group "$g" >/dev/null || { echo "skipped: no group $g on this system"; exit 77; }
done

user="kestovar-op-$$"
home="$(mktemp -d /tmp/kestovar-operator-XXXXXX)"
chmod 755 "$home"
cleanup() {
  userdel "$user" >/dev/null 2>&1
  rm -rf "$home"
}
trap cleanup EXIT
useradd --no-create-home --home-dir "$home/home" --groups video,audio --shell /bin/sh "$user" || exit 1
mkdir -p "$home/home" && chown "$user:" "$home/home" && chmod 700 "$home/home"
h="$home/home"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

as_operator() {
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$h" USER="$user" \
    XDG_RUNTIME_DIR="$h/run" QT_QPA_PLATFORM=offscreen \
    KESTOVAR_REGISTRY_DIR="$h/registry" KESTOVAR_LOCK_DIR="$h/lock" \
    KESTOVAR_TEST_DATA="$h/testdata" "$@"
}
runuser -u "$user" -- mkdir -p "$h/run" "$h/lock" && chmod 700 "$h/run"

# The account is what the deployment notes ask for.
groups_of="$(id -nG "$user")"
for g in video audio; do
  [[ " $groups_of " == *" $g "* ]] || fail "$user is not in $g"
done

# The program: started with the simulated camera, asked to close with SIGTERM.
if [ -x "$build/kestovar" ]; then
  as_operator timeout -s TERM 12 "$build/kestovar" --simulate-camera=fullhd >"$home/station.log" 2>&1
  status=$?
  [ "$status" -eq 124 ] || fail "the station ended with status $status before it was asked to close: $(tail -5 "$home/station.log")"
  hive="$h/registry/HKEY_LOCAL_MACHINE.reg"
  [ -f "$hive" ] || fail "no settings were written to $hive"
  grep -q "\"rootpath\"=\"$h/Kestovar\"" "$hive" 2>/dev/null || fail "the storage root is not ~/Kestovar: $(grep rootpath "$hive" 2>/dev/null)"
  for d in movie image; do
    [ -d "$h/Kestovar/$d" ] || fail "the $d folder was not made in ~/Kestovar"
  done
  echo "station: ran as $user (groups: $groups_of), settings in $hive, captures in $h/Kestovar"
else
  echo "station: $build/kestovar is not built; only the tests run"
fi

# Engine tests whose files all live in the account's own folders.
for t in profile_test hostile_names_test casefile_test damaged_media_test; do
  [ -x "$build/$t" ] || continue
  if as_operator "$build/$t" >"$home/$t.log" 2>&1; then
    echo "$t: $(grep -E '^\[  PASSED' "$home/$t.log")"
  else
    fail "$t failed as $user: $(grep -E 'Failure|FAILED' "$home/$t.log" | head -5)"
  fi
done

# Nothing was written anywhere else: every file the account owns is below its home.
stray="$(find / -xdev \( -path /proc -o -path /sys -o -path "$home" \) -prune -o -user "$user" -print 2>/dev/null | head -5)"
[ -z "$stray" ] || fail "files outside the home: $stray"

if ((failures)); then
  echo "$failures problem(s)"
  exit 1
fi
echo "the station works as an ordinary operator account"
