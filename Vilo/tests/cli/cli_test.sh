#!/usr/bin/env bash
# vilo-cli end to end against vilo-sim: every command, its output and its exit status.
set -uo pipefail
bin=$1
work=$(mktemp -d)
trap 'exec {SIM[1]}>&- 2>/dev/null; rm -rf "$work"' EXIT
failures=0

. "$(dirname "$0")/../../../scripts/lib/sim.sh"
start_sim "$bin/vilo-sim" --device addr=3,serial=4321,version=V2.07,tph1=-40,pgas=250 --device addr=5,id=34 || exit 1

# expect STATUS DESCRIPTION -- COMMAND...: runs it, keeps its output in $out, checks the status.
expect() {
  local want=$1 what=$2
  shift 3
  out=$("$@" 2>"$work/err")
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL $what: exit $got, wanted $want"; cat "$work/err"; failures=$((failures + 1))
  fi
}
has() {  # has TEXT DESCRIPTION
  grep -qxF -- "$1" <<<"$out" || { echo "FAIL $2: no line '$1' in:"; echo "$out"; failures=$((failures + 1)); }
}

expect 0 "help" -- "$bin/vilo-cli" --help
expect 2 "no command" -- "$bin/vilo-cli"
expect 2 "bad option" -- "$bin/vilo-cli" search --bogus
expect 2 "check without a device" -- "$bin/vilo-cli" check

expect 0 "search" -- "$bin/vilo-cli" search --ports COM1-COM1 --addresses 1-5
has "Найден прибор ВИЛО" "search"
has "Адрес: 3" "search"
has "Заводской номер: 4321" "search"
has "Версия: V2.07" "search"
has "TpH=-40" "search settings"
has "PH=250" "search settings"
expect 1 "search where nobody answers" -- "$bin/vilo-cli" search --ports COM1-COM1 --addresses 6-6
has "Прибор не найден" "search where nobody answers"

expect 0 "check" -- "$bin/vilo-cli" check --port COM1 --address 5
has "Прибор на связи." "check"
expect 1 "check of a missing address" -- "$bin/vilo-cli" check --port COM1 --address 9
expect 1 "check of a missing port" -- "$bin/vilo-cli" check --port COM7 --address 3

expect 0 "read and save" -- "$bin/vilo-cli" read --port COM1 --address 3 --save "$work/dev.prj"
has "TpH=-40" "read"
has "Present=-1" "read"
[ -s "$work/dev.prj" ] || { echo "FAIL read: no project saved"; failures=$((failures + 1)); }

expect 1 "write without an answer to the question" -- "$bin/vilo-cli" write --project "$work/dev.prj" </dev/null
expect 0 "write" -- "$bin/vilo-cli" write --project "$work/dev.prj" --yes

expect 0 "set-link" -- "$bin/vilo-cli" set-link --port COM1 --address 5 --baud 9600 --new-address 7 --new-baud 9600
expect 0 "check at the new address" -- "$bin/vilo-cli" check --port COM1 --address 7
expect 1 "set-link to 115200" -- "$bin/vilo-cli" set-link --port COM1 --address 7 --new-address 8 --new-baud 115200
expect 0 "the address stayed" -- "$bin/vilo-cli" check --port COM1 --address 7

if [ "$failures" -eq 0 ]; then echo "vilo-cli: all commands behave"; else echo "$failures failures"; fi
[ "$failures" -eq 0 ]
