#!/usr/bin/env bash
# The demo from a build directory: against the port VILO_PORT names when it is set, else
# against a simulated line with two transmitters.
set -euo pipefail
bin=$1/bin

echo "The library and the simulated transmitter are built; the Vilo program and vilo-cli"
echo "follow. This demo finds ports and transmitters and talks to one through libdevlink."
echo

if [ -n "${VILO_PORT:-}" ]; then
  exec "$bin/devlink-probe" "$VILO_PORT" 1 5 "${VILO_BAUD:-9600}"
fi

coproc SIM { exec "$bin/vilo-sim" --device addr=3,serial=4321,version=V2.07 --device addr=5,id=34; }
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
"$bin/devlink-probe" COM1 1 5 9600 || status=$?
exec {SIM[1]}>&-   # the simulator ends with its standard input
wait "$SIM_PID" || true
exit $status
