#!/bin/sh
# devlink.dll exports exactly the 32 undecorated names, each under its ordinal.
# usage: check_export_table.sh OBJDUMP DLL
set -eu
objdump=$1
dll=$2
expected="1 EX_CreateCOM
2 EX_FreeCOM
3 EX_SetBaudRate
4 EX_GetBaudRate
5 EX_SetTimeout
6 EX_GetTimeout
7 EX_OpenCOM
8 EX_CloseCOM
9 EX_GetDeviceData
10 EX_Exchange
11 EX_ASCIICRCWord
12 EX_ArrayCRCWord
13 EX_ArrayCRCByte
14 EX_CreateRequestParcel
15 EX_AnalysisAnswerParcel
16 EX_AutoConfigTimeout
17 EX_TransmitParcel
18 EX_ReciveParcel
19 EX_TransmitBlock
20 EX_ReceiveBlock
21 EX_SearchAvailableCOMPorts
22 EX_ExtractAvailableCOMPorts
23 EX_GetDeviceInfoByType
24 EX_GetDeviceInfoByName
25 EX_GetAllDevicesNames
26 EX_ExtractAllDevicesNames
27 EX_SearchAvailableDevices
28 EX_StopSearchAvailableDevices
29 EX_ExtractAvailableDevices
30 EX_ConvertDeviceError
31 EX_GetExtendedErrorInfo
32 EX_Split"
table=$("$objdump" -p "$dll")
# "Export Address Table -- Ordinal Base 1", then one "[   i] +base[   n] rva Export RVA" per
# entry; the name table lists "[   i] Name" by name, i counted from the ordinal base.
base=$(printf '%s\n' "$table" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p')
entries=$(printf '%s\n' "$table" | grep -c 'Export RVA$' || true)
have=$(printf '%s\n' "$table" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' | awk -v base="${base:-1}" '{print $1 + base, $2}' | sort -n)
if [ "$have" != "$expected" ]; then
  echo "the export table differs from the 32 exports (ordinal name):"
  want_file=$(mktemp) have_file=$(mktemp)
  printf '%s\n' "$expected" >"$want_file"
  printf '%s\n' "$have" >"$have_file"
  diff "$want_file" "$have_file" || true
  rm -f "$want_file" "$have_file"
  exit 1
fi
if [ "$entries" -ne 32 ]; then
  echo "the export address table has $entries entries, not 32"
  exit 1
fi
echo "32 exports, ordinals 1 to 32, nothing else"
