#!/usr/bin/env bash
# The Windows build of devlink, tested under Wine against the simulator.
#
# usage: scripts/lib/windows_tests.sh LINUX_BUILD_DIR
#   LINUX_BUILD_DIR: a finished Linux build (for example build/normal); its bin/vilo-sim runs
#   the simulated lines on this side, and each line's pseudo-terminal becomes a COM port of
#   a fresh Wine prefix.
#
# Installs the cross compiler and Wine when they are missing (as root; otherwise says what to
# install), cross-builds devlink.dll and its tests in build/mingw, checks the export table,
# runs the tests under Wine and judges each run by its test report, not by its exit code.
# A 32-bit devlink.dll is built beside it in build/mingw32 and checked for its export table
# and for a C caller that links against its import library (no 32-bit Wine here to run it).
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/common.sh

linux_build=${1:?usage: $0 LINUX_BUILD_DIR}
sim=$linux_build/bin/vilo-sim
[ -x "$sim" ] || { echo "no simulator at $sim: build the Linux side first" >&2; exit 1; }
sim=$(cd "$(dirname "$sim")" && pwd)/vilo-sim

dir=build/mingw
dir32=build/mingw32
started=$SECONDS
phase=$SECONDS
lap() {
  echo "   ($1: $((SECONDS - phase)) s)"
  phase=$SECONDS
}

echo "== Windows build: tool chain and Wine"
ensure_packages $WINDOWS_PACKAGES
lap install

echo "== Windows build in $dir"
mkdir -p build
configure_build "$dir" --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
lap build

echo "== export table of devlink.dll"
sh devlink/tests/windows/check_export_table.sh x86_64-w64-mingw32-objdump "$dir/bin/devlink.dll"

echo "== 32-bit devlink.dll in $dir32"
configure_build "$dir32" --toolchain cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
sh devlink/tests/windows/check_export_table.sh i686-w64-mingw32-objdump "$dir32/bin/devlink.dll"
echo "a C caller compiled with devlink.h links against its import library: $dir32/bin/header_caller.exe"
lap "32-bit build"

# A fresh prefix for every run; console programs need no display, the null graphics driver
# gives them windows to post progress messages to.
export WINEPREFIX=$PWD/$dir/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
lap "Wine prefix"

# Line COM2: address 1 at 9600 baud, address 2 at 19200, address 4 identifying itself as 34;
# line COM12: address 1. COM9 does not exist. (COM1 is Wine's /dev/ttyS0: never "missing".)
ports="COM2 COM12"
missing=COM9
sim_dir=$(mktemp -d)
coproc SIM { exec "$sim" --port-dir "$sim_dir/ports" \
  --line COM2 --device addr=1 --device addr=2,baud=19200 --device addr=4,id=34 \
  --line COM12 --device addr=1 2>"$sim_dir/stderr"; }
sim_pid=$SIM_PID
exec {sim_in}>&"${SIM[1]}" {sim_out}<&"${SIM[0]}"

cleanup() {
  # Wine lets go of the lines before the simulator hangs them up.
  wineserver -k 2>/dev/null || true
  for port in $ports; do rm -f "$WINEPREFIX/dosdevices/${port,,}"; done
  # The end of its input stops the simulator.
  exec {sim_in}>&- {sim_out}<&- 2>/dev/null || true
  [ -n "${SIM[1]:-}" ] && eval "exec ${SIM[1]}>&-" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -rf "$sim_dir"
}
trap cleanup EXIT

ready=
while IFS=' ' read -r -t 10 name tty <&"$sim_out"; do
  if [ "$name" = READY ]; then
    ready=yes
    break
  fi
  ln -sfn "$tty" "$WINEPREFIX/dosdevices/${name,,}"
done
[ -n "$ready" ] || { echo "vilo-sim did not get ready:" >&2; cat "$sim_dir/stderr" >&2; exit 1; }

# run_gtest PROGRAM [SKIPPED_TEST...]: runs a test program under Wine and passes when its
# report says every test ran and passed, apart from exactly the skipped tests named.
failures=0
run_gtest() {
  local program=$1
  shift
  local report
  echo "-- $program"
  report=$(DEVLINK_TEST_PORTS="$ports" DEVLINK_TEST_MISSING=$missing timeout 300 wine "$dir/bin/$program" 2>&1 | tr -d '\r') || true
  local ran passed skipped want_skipped
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' <<<"$report")
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' <<<"$report")
  skipped=$(sed -n 's/^\[  SKIPPED \] \([^ ]*\.[^ ]*\)$/\1/p' <<<"$report" | sort -u | tr '\n' ' ')
  want_skipped=$(printf '%s\n' "$@" | sed '/^$/d' | sort -u | tr '\n' ' ')
  if [ -z "$ran" ] || grep -q '^\[  FAILED  \]' <<<"$report" ||
     [ "$((passed + $#))" -ne "$ran" ] || [ "$skipped" != "$want_skipped" ]; then
    echo "$report"
    echo "FAILED: $program (ran ${ran:-nothing}, passed ${passed:-0}, skipped: ${skipped:-none}; expected skips: ${want_skipped:-none})"
    failures=$((failures + 1))
    return 0
  fi
  echo "   $ran tests: $passed passed${skipped:+, skipped under Wine: $skipped}"
}

echo "== tests under $(wine --version)"
echo "-- header_caller.exe"
caller=$(timeout 60 wine "$dir/bin/header_caller.exe" 2>&1 | tr -d '\r') || true
if [ "$caller" = "32 exports called through the header" ]; then
  echo "   $caller"
else
  echo "$caller"
  echo "FAILED: header_caller.exe"
  failures=$((failures + 1))
fi
run_gtest ascii_u_test.exe
run_gtest exports_test.exe
# Known differences of Wine on a pseudo-terminal: a second open of a port succeeds.
run_gtest win32_port_test.exe Win32Port.SecondOpenerIsRefused
lap tests

echo "== Windows tests: $((SECONDS - started)) s in all"
[ "$failures" -eq 0 ] || { echo "$failures Windows test program(s) failed"; exit 1; }
echo "Windows tests passed."
