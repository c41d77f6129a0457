#!/bin/sh
# Programs built from the core import no library function but the eleven the program binds.
set -eu
allowed="EX_CreateCOM EX_FreeCOM EX_SetBaudRate EX_SetTimeout EX_OpenCOM EX_CloseCOM EX_Exchange
EX_ASCIICRCWord EX_TransmitParcel EX_ReciveParcel EX_AnalysisAnswerParcel"
status=0
for binary in "$@"; do
  for symbol in $(nm -D --undefined-only "$binary" | awk '{print $NF}' | sed 's/@.*//' | grep '^EX_' || true); do
    case " $(echo $allowed) " in
      *" $symbol "*) ;;
      *) echo "$binary imports $symbol"; status=1 ;;
    esac
  done
done
[ $status -eq 0 ] && echo "$# programs import only the eleven bound functions"
exit $status
