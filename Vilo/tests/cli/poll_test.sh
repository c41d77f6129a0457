#!/usr/bin/env bash
# vilo-cli poll end to end against vilo-sim: the lines and the CSV log of a counted run, an
# interrupted run that leaves the port free, a missing port, and the pressure of a project.
set -uo pipefail
bin=$1
work=$(mktemp -d)
poller=
trap '[ -n "$poller" ] && kill "$poller" 2>/dev/null; exec {SIM[1]}>&- 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

. "$(dirname "$0")/../../../scripts/lib/sim.sh"
start_sim "$bin/vilo-sim" --device addr=3,pgas=250,keyed=1 || exit 1

# fields FILE SEPARATOR COUNT: every line but the header has COUNT fields, none of them empty.
fields() {
  awk -F"$2" -v n="$3" 'NF != n { bad = 1 } { for (i = 1; i <= NF; i++) if ($i == "") bad = 1 } END { exit bad }' "$1"
}

# A counted run: three lines on standard output, the header and three lines in the CSV file.
"$bin/vilo-cli" poll --port COM1 --address 3 --cycles 3 --csv "$work/run.csv" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { fail "counted run: exit $status"; cat "$work/err"; }
[ "$(wc -l <"$work/out")" -eq 3 ] || { fail "counted run: not 3 lines:"; cat "$work/out"; }
fields "$work/out" ' ' 11 || { fail "counted run: lines without date, time and nine values:"; cat "$work/out"; }
[ "$(head -n 1 "$work/run.csv")" = "time,W,U,T,Rh,Td,a,d,ADC,P" ] || fail "counted run: CSV header $(head -n 1 "$work/run.csv")"
[ "$(wc -l <"$work/run.csv")" -eq 4 ] || { fail "counted run: CSV not header + 3 lines:"; cat "$work/run.csv"; }
tail -n +2 "$work/run.csv" >"$work/rows.csv"
fields "$work/rows.csv" ',' 10 || { fail "counted run: CSV rows without ten fields:"; cat "$work/run.csv"; }
[ -s "$work/err" ] && { fail "counted run: error output:"; cat "$work/err"; }

# An interrupted run: Ctrl-C once the CSV shows cycles, exit 0, and the port is free again.
"$bin/vilo-cli" poll --port COM1 --address 3 --csv "$work/int.csv" >"$work/int.out" 2>"$work/int.err" &
poller=$!
for _ in $(seq 100); do
  [ -f "$work/int.csv" ] && [ "$(wc -l <"$work/int.csv")" -ge 3 ] && break
  sleep 0.1
done
[ "$(wc -l <"$work/int.csv")" -ge 3 ] || fail "interrupted run: no cycles in the CSV"
kill -INT "$poller"
wait "$poller"
status=$?
poller=
[ "$status" -eq 0 ] || { fail "interrupted run: exit $status"; cat "$work/int.err"; }
tail -n +2 "$work/int.csv" >"$work/int-rows.csv"
fields "$work/int-rows.csv" ',' 10 || { fail "interrupted run: a cut CSV line:"; tail -n 2 "$work/int.csv"; }
"$bin/vilo-cli" check --port COM1 --address 3 >/dev/null 2>"$work/err" || { fail "the port is still held"; cat "$work/err"; }

# A port that is not there: no lines, the reason on standard error, exit 1.
"$bin/vilo-cli" poll --port COM7 --address 3 --cycles 1 >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "missing port: exit $status"
[ -s "$work/out" ] && fail "missing port: output $(cat "$work/out")"
grep -qxF "Порт COM7 отсутствует" "$work/err" || { fail "missing port: no reason:"; cat "$work/err"; }

# The gas pressure comes from the project (keyed in, 250 kPa): d is that of P = 250 from the
# first cycle on, not that of P = 0.
"$bin/vilo-cli" read --port COM1 --address 3 --save "$work/dev.prj" >/dev/null 2>&1 || fail "read for the project"
"$bin/vilo-cli" poll --project "$work/dev.prj" --cycles 2 >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { fail "project run: exit $status"; cat "$work/err"; }
[ "$(wc -l <"$work/out")" -eq 2 ] || { fail "project run: not 2 lines:"; cat "$work/out"; }
if awk '$9 == "-1000000.0000" || $9 + 0 <= 0 { bad = 1 } END { exit !bad }' "$work/out"; then
  fail "project run: d without the project's pressure:"; cat "$work/out"
fi

"$bin/vilo-cli" poll --port COM1 --address 3 --cycles 0 >/dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "--cycles 0: exit $status"

if [ "$failures" -eq 0 ]; then echo "vilo-cli poll: all runs behave"; else echo "$failures failures"; fi
[ "$failures" -eq 0 ]
