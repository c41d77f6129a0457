# Sourced by the scripts that run against the simulator.
#
# start_sim VILO_SIM [OPTIONS...]: starts vilo-sim as the coprocess SIM, waits for its READY
# line and exports DEVLINK_PORT_DIR as the directory it names. The simulator ends when its
# standard input is closed: exec {SIM[1]}>&-
start_sim() {
  local program=$1 line
  shift
  coproc SIM { exec "$program" "$@"; }
  DEVLINK_PORT_DIR=
  while IFS= read -r line <&"${SIM[0]}"; do
    case $line in
      READY*) DEVLINK_PORT_DIR=${line#READY }; break ;;
      *) [ -n "${SIM_VERBOSE:-}" ] && echo "vilo-sim: $line" ;;
    esac
  done
  [ -n "$DEVLINK_PORT_DIR" ] || { echo "vilo-sim did not start" >&2; return 1; }
  export DEVLINK_PORT_DIR
}
