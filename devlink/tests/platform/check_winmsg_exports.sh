#!/bin/sh
# winmsg makes its WinMsg_ functions visible and nothing else.
set -eu
have=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TtWwDdBbRrVvi]$/ {print $3}' | sed 's/@.*//' | LC_ALL=C sort)
want="WinMsg_CreateWindow
WinMsg_DestroyWindow
WinMsg_Post
WinMsg_Register"
if [ "$have" != "$want" ]; then
  echo "winmsg exports differ from its four functions:"
  echo "$have"
  exit 1
fi
echo "4 exports, nothing else"
