#!/bin/sh
# The library makes exactly the 32 exports visible, nothing else.
set -eu
lib=$1
expected="EX_ASCIICRCWord EX_AnalysisAnswerParcel EX_ArrayCRCByte EX_ArrayCRCWord EX_AutoConfigTimeout
EX_CloseCOM EX_ConvertDeviceError EX_CreateCOM EX_CreateRequestParcel EX_Exchange EX_ExtractAllDevicesNames
EX_ExtractAvailableCOMPorts EX_ExtractAvailableDevices EX_FreeCOM EX_GetAllDevicesNames EX_GetBaudRate
EX_GetDeviceData EX_GetDeviceInfoByName EX_GetDeviceInfoByType EX_GetExtendedErrorInfo EX_GetTimeout
EX_OpenCOM EX_ReceiveBlock EX_ReciveParcel EX_SearchAvailableCOMPorts EX_SearchAvailableDevices
EX_SetBaudRate EX_SetTimeout EX_Split EX_StopSearchAvailableDevices EX_TransmitBlock EX_TransmitParcel"
want=$(printf '%s\n' $expected | LC_ALL=C sort)
have=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRrVvi]$/ {print $3}' | sed 's/@.*//' | LC_ALL=C sort)
if [ "$want" != "$have" ]; then
  echo "exported symbols differ from the 32 exports:"
  printf '%s\n' "$want" > /tmp/devlink_want.$$; printf '%s\n' "$have" > /tmp/devlink_have.$$
  diff /tmp/devlink_want.$$ /tmp/devlink_have.$$ || true
  rm -f /tmp/devlink_want.$$ /tmp/devlink_have.$$
  exit 1
fi
echo "32 exports, nothing else"
