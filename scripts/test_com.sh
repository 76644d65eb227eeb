#!/usr/bin/env bash
# Tovalix.ocx under wine. Run by test_windows.sh inside its prefix (WINEPREFIX, its wineserver,
# COM5 and COM9 mapped to the iPP320's and the Optimum's simulators): registers the control with
# regsvr32, runs the VBScript hosts (wine's cscript; a till on COM5, a banking agent's counter
# printing on COM9) and the C++ host (IDispatch only) against a fresh gateway and airtime
# simulator each, and compares what each host read, and the message boxes it caused, with
# tests/com/expected.txt. The C++ host runs again without registration
# (Tovalix.manifest); registration for the user alone is checked; then the installer runs
# silently, a script host sells, and the uninstaller must leave no registration behind.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sim=${TOVALIX_SIM:-$root/build/asan/bin/tovalix-sim}
wine=/usr/lib/wine/wine64
bin=$root/build/win64/bin
work=$(dirname "$WINEPREFIX")/com
rm -rf "$work"
mkdir -p "$work"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done' EXIT
failed=0
check() {  # name, command...: counts a failure and says which
  local name=$1
  shift
  "$@" || { failed=$((failed + 1)); echo "test_com: FAILED $name" >&2; }
}
registered() { "$wine" reg query "$1\\Software\\Classes\\Tovalix.Cliente\\CLSID" >/dev/null 2>&1; }
# Every key the registration writes, the installer's own included: none may outlive removal.
keys=(Tovalix.Cliente Tovalix.IPP320 'CLSID\{EC78E750-85C0-401C-BEAF-2DCD3FF1690A}'
  'CLSID\{1F8731D6-3B97-4FBB-9C73-DECEDA392096}' 'TypeLib\{B5C3E11F-31FF-446A-89D8-4DD6FB4CBE5D}'
  'Interface\{5B03EA60-49AA-433A-B2E9-34CE293BD4DD}' 'Interface\{4822345D-1431-4025-933A-5A7B5D664F0B}'
  Tovalix.Mostrador 'CLSID\{44916A96-4EF4-4986-A6B7-C36F1D6D40EF}'
  'Interface\{54F77780-65BA-4F90-AD5B-F6C28963E23A}')
nothing_left() {
  local left=0 key hive
  for key in "${keys[@]/#/Software\\Classes\\}" 'Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovalix'; do
    for hive in HKLM HKCU; do
      "$wine" reg query "$hive\\$key" >/dev/null 2>&1 && { echo "left behind: $hive\\$key" >&2; left=1; }
    done
  done
  return "$left"
}

# A simulator on loopback for one host; its address goes to $url.
serve() {
  "$sim" "$@" >"$dir/$1.out" 2>"$dir/$1.err" &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$dir/$1.out" ] && break; sleep 0.1; done
  url=$(grep -o 'http://[^ ]*' "$dir/$1.out")
}

# Runs one host in a terminal of its own (settings, journal, log, message boxes): its results
# as UTF-8 lines, then each recorded box as "box style/title/text", go to $dir/read.txt.
run_host() {
  local name=$1 encoding=$2
  shift 2
  dir=$work/$name
  mkdir -p "$dir"
  local first=${#pids[@]}
  serve gateway --port 0 --decline-total 99.99
  export TOVALIX_GATEWAY_URL=$url TOVALIX_COUNTER_URL=${url%/gateway.asp}
  serve airtime --port 0
  export TOVALIX_AIRTIME_URL=$url
  printf '\\Device\\USBSER000\tCOM5\n\\Device\\Serial2\tCOM9\n' >"$dir/devices.tsv"
  export TOVALIX_SETTINGS TOVALIX_DEVICE_MAP TOVALIX_LOG_DIR TOVALIX_COM_MESSAGES
  TOVALIX_SETTINGS=$(winpath "$dir/PinPad.ini")
  TOVALIX_DEVICE_MAP=$(winpath "$dir/devices.tsv")
  TOVALIX_LOG_DIR=$(winpath "$dir")
  TOVALIX_COM_MESSAGES=$(winpath "$dir/boxes.txt")
  "$wine" "$@" "$(winpath "$dir/results.txt")" >"$dir/host.log" 2>&1
  local status=$?
  for pid in "${pids[@]:$first}"; do kill "$pid" 2>/dev/null; done
  touch "$dir/results.txt" "$dir/boxes.txt"
  { iconv -f "$encoding" -t UTF-8 "$dir/results.txt" && sed 's|^|box |' "$dir/boxes.txt"; } |
    tr -d '\r' | sed -E 's/(DateTime=).+/\1<now>/' >"$dir/read.txt"
  [ "$status" -eq 0 ] || { tr -d '\r' <"$dir/host.log" >&2; return 1; }
}

# The expected lines of one section of tests/com/expected.txt ("[sales]", ...).
expected() { awk -v s="[$1]" '/^\[/ { on = ($0 == s); next } on && NF' tests/com/expected.txt; }
compare() {  # host, sections...
  local host=$1
  shift
  for section in "$@"; do expected "$section"; done >"$work/$host.expected"
  diff -u "$work/$host.expected" "$work/$host/read.txt" >&2
}

check "regsvr32 Tovalix.ocx" "$wine" regsvr32 /s "$(winpath "$bin/Tovalix.ocx")"
check "registered in HKLM" registered HKLM
check "VBScript host runs" run_host vbs UTF-16 cscript //nologo "$(winpath "$root/tests/com/host.vbs")"
check "VBScript host reads" compare vbs init sale sales boxes
check "VBScript counter runs" run_host counter UTF-16 cscript //nologo "$(winpath "$root/tests/com/host.vbs")" counter
check "VBScript counter reads" compare counter init counter
# A failure inside the control (here no Scripting.Dictionary to be had) reaches Err as text.
errors=$(WINEDLLOVERRIDES="scrrun=d;${WINEDLLOVERRIDES:-}" "$wine" cscript //nologo \
  "$(winpath "$root/tests/com/host.vbs")" errors | tr -d '\r')
check "a failure reaches Err.Description ($errors)" [ "$errors" = \
  "Tovalix: TOVALIX: No se pudo crear el objeto Scripting.Dictionary del resultado." ]
check "C++ host runs" run_host cpp UTF-8 "$bin/com_host.exe"
check "C++ host reads" compare cpp init nested sale ipp320
check "regsvr32 /u Tovalix.ocx" "$wine" regsvr32 /s /u "$(winpath "$bin/Tovalix.ocx")"
check "regsvr32 /u leaves nothing" nothing_left
# Without registration: the C++ host activates Tovalix.manifest, which lies beside the OCX.
check "registration-free: C++ host runs" run_host regfree UTF-8 "$bin/com_host.exe" \
  "$(winpath "$bin/Tovalix.manifest")"
check "registration-free: C++ host reads" compare regfree init nested sale ipp320

# For the current user only: HKCU\Software\Classes, never HKLM.
check "regsvr32 /n /i:user" "$wine" regsvr32 /s /n /i:user "$(winpath "$bin/Tovalix.ocx")"
check "registered in HKCU only" eval 'registered HKCU && ! registered HKLM'
check "regsvr32 /u /n /i:user" "$wine" regsvr32 /s /u /n /i:user "$(winpath "$bin/Tovalix.ocx")"
check "regsvr32 /u /n /i:user leaves nothing" nothing_left

# The installer, silent, into a folder of its own; a script host sells with the installed
# control; the silent uninstaller (waiting for it with _?=) takes everything away again.
check "makensis" makensis -V2 installer/tovalix.nsi
check "installer /S" "$wine" "$(winpath "$root/build/tovalix-setup.exe")" /S '/D=C:\Tovalix'
for clsid in "${keys[2]}" "${keys[8]}"; do  # Cliente, Mostrador
  check "installed $clsid registered" eval '"$wine" reg query "HKLM\\Software\\Classes\\$clsid\\InprocServer32" | grep -qF "C:\\Tovalix\\Tovalix.ocx"'
done
check "installed: script host runs" run_host installed UTF-16 cscript //nologo "$(winpath "$root/tests/com/host.vbs")"
check "installed: script host reads" compare installed init sale sales boxes
check "uninstaller /S" "$wine" 'C:\Tovalix\uninstall.exe' /S '_?=C:\Tovalix'
check "uninstaller leaves nothing" nothing_left
installed=$WINEPREFIX/drive_c/Tovalix
check "uninstaller removes the files" eval '[ "$(ls "$installed")" = uninstall.exe ]'
rm -rf "$installed"

# The 32-bit build cannot run here: its exports must still carry their plain names.
exports=$(i686-w64-mingw32-objdump -p "$root/build/win32/bin/Tovalix.ocx")
for name in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer DllInstall; do
  check "32-bit Tovalix.ocx exports $name" grep -Eq "^\s*\[ *[0-9]+\] $name\$" <<<"$exports"
done

echo "Tovalix.ocx under wine: $failed failed"
[ "$failed" -eq 0 ]
