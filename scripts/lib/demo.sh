#!/usr/bin/env bash
# The demo from a build directory: against the port VILO_PORT names when it is set, else
# against a simulated line with two transmitters.
set -euo pipefail
bin=$1/bin

say() { printf '\n== %s\n' "$*"; }

if [ -n "${VILO_PORT:-}" ]; then
  baud=${VILO_BAUD:-9600}
  say "vilo-cli search on $VILO_PORT at $baud baud"
  exec "$bin/vilo-cli" search --ports "$VILO_PORT-$VILO_PORT" --addresses "${VILO_ADDRESSES:-1-5}" --baud "$baud"
fi

# Wire time: the bytes take as long as at 9600 baud on a real line.
coproc SIM { exec "$bin/vilo-sim" --wire-time --device addr=3,serial=4321,version=V2.07,tph1=-40,tpb1=20 \
  --device addr=5,id=34; }
port_dir=
while IFS= read -r line <&"${SIM[0]}"; do
  case $line in
    READY*) port_dir=${line#READY }; break ;;
    *) echo "vilo-sim: $line" ;;
  esac
done
[ -n "$port_dir" ] || { echo "vilo-sim did not start" >&2; exit 1; }
export DEVLINK_PORT_DIR=$port_dir

status=0
say "The library alone: port search, device search, version and two readings (devlink-probe)"
"$bin/devlink-probe" COM1 1 5 9600 || status=$?
say "vilo-cli search --ports COM1-COM2 --addresses 1-5"
"$bin/vilo-cli" search --ports COM1-COM2 --addresses 1-5 || status=$?
project=$(mktemp -d)/demo.prj
say "vilo-cli read --port COM1 --address 3 --save $project"
"$bin/vilo-cli" read --port COM1 --address 3 --save "$project" || status=$?
say "vilo-cli check --port COM1 --address 5"
"$bin/vilo-cli" check --port COM1 --address 5 || status=$?
say "vilo-cli poll --project $project for three seconds (then Ctrl-C)"
timeout -s INT 3 "$bin/vilo-cli" poll --project "$project" || status=$?
rm -rf "$(dirname "$project")"
exec {SIM[1]}>&-   # the simulator ends with its standard input
wait "$SIM_PID" || true
exit $status
