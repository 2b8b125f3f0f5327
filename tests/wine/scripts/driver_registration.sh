# Self-registration of the ASIO driver DLL under Wine: regsvr32 and a direct DllRegisterServer
# write exactly the COM class and ASIO driver list entries; the same folder in another letter
# case leaves the COM entries alone; another folder replaces them; a copy under another file name
# fails with -101 and its message box; unregistering twice succeeds twice; and an ASIO host finds
# the registered driver (the build with the simulated TX880) and streams through it.
# Run by run-script.sh with a display (the failed registration shows a message box).

dll=$ZEV_BIN_TX880ASIO
sim_dll=$ZEV_BIN_TX880ASIOSIM
register=$ZEV_BIN_COM_REGISTER
host=$ZEV_BIN_ASIO_HOST
clsid='{CE67CF8D-A7E9-492E-A424-EB8EDD41092E}'
class_key="HKCR\\CLSID\\$clsid"
server_key="$class_key\\InprocServer32"
asio_key='HKLM\SOFTWARE\ASIO\TX880 ASIO driver'
# The registry view of the DLL's bitness: a 32-bit DLL writes the WOW64 view.
if file -b "$dll" | grep -q 'PE32+'; then bits=64; else bits=32; fi
echo "registry view: $bits-bit"

fail() { echo "FAIL: $*"; exit 1; }

drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/TX880 Driver" "$drive_c/Other"
cp "$dll" "$drive_c/TX880 Driver/TX880Asio.dll"
cp "$dll" "$drive_c/Other/TX880Asio.dll"
cp "$dll" "$drive_c/TX880 Driver/Renamed.dll"
cp "$sim_dll" "$drive_c/TX880 Driver/TX880AsioSim.dll"
path='C:\TX880 Driver\TX880Asio.dll'
expected_path='c:\tx880 driver\tx880asio.dll'

# "name=data" lines of a key's values (sorted; "(Default)" for the default value), nothing when
# the key is missing.
values() {
  wine reg query "$1" /reg:$bits 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \(.*[^ ]\)    REG_SZ    \(.*\)$/\1=\2/p; s/^    \(.*[^ ]\)    REG_SZ$/\1=/p' | sort
}
subkeys() {
  wine reg query "$1" /reg:$bits 2>/dev/null | tr -d '\r' | grep -i "^$(printf '%s' "$1" |
    sed 's/\\/\\\\/g; s/^HKCR/HKEY_CLASSES_ROOT/; s/^HKLM/HKEY_LOCAL_MACHINE/')\\\\" | sed 's/.*\\//' | sort
}
expect_values() {
  local key=$1 want got
  shift
  want=$(printf '%s\n' "$@" | sort)
  got=$(values "$key")
  [[ $got == "$want" ]] || fail "$step: $key holds
$got
instead of
$want"
}
# Exactly the entries the registration writes, pointing at the given (lower-case) path.
expect_registered() {
  expect_values "$class_key" "(Default)=TX880 ASIO"
  [[ $(subkeys "$class_key") == InprocServer32 ]] || fail "$step: subkeys of the class: $(subkeys "$class_key")"
  expect_values "$server_key" "(Default)=$1" "ThreadingModel=Apartment" "${@:2}"
  expect_values "$asio_key" "CLSID=$clsid" "Description=TX880 ASIO"
  echo "ok   $step"
}
expect_unregistered() {
  wine reg query "$class_key" /reg:$bits >/dev/null 2>&1 && fail "$step: $class_key left behind"
  wine reg query "$asio_key" /reg:$bits >/dev/null 2>&1 && fail "$step: $asio_key left behind"
  echo "ok   $step"
}
# com_register's result line and message box lines.
call() {
  local status=0
  output=$(zev_wine_run "$register" "$@" 2>&1 | tr -d '\r') || status=$?
  echo "$output" | sed 's/^/     | /'
  return $status
}

step="regsvr32 /s"
zev_wine_run regsvr32 /s "$path" || fail "$step: exit code $?"
expect_registered "$expected_path"

step="regsvr32 /u /s, twice"
zev_wine_run regsvr32 /u /s "$path" || fail "$step: first exit code $?"
zev_wine_run regsvr32 /u /s "$path" || fail "$step: second exit code $?"
expect_unregistered

step="DllRegisterServer"
call "$path" register || fail "$step: exit code $?"
[[ $output == "result 0x00000000" ]] || fail "$step: $output"
expect_registered "$expected_path"

# The same file named in another letter case: the COM entries stay as they are (a value added
# to them survives), the ASIO entry is written afresh (a value added to it goes).
step="same folder in another letter case"
wine reg add "$server_key" /v Marker /d kept /f /reg:$bits >/dev/null
wine reg add "$asio_key" /v Marker /d gone /f /reg:$bits >/dev/null
call 'C:\TX880 DRIVER\TX880ASIO.DLL' register || fail "$step: exit code $?"
expect_registered "$expected_path" "Marker=kept"

step="another folder replaces the COM entries"
call 'C:\Other\TX880Asio.dll' register || fail "$step: exit code $?"
expect_registered 'c:\other\tx880asio.dll'

# A copy under another file name is refused with code -101 and its message box; the registry
# stays as it was.
step="copy under another name, DllRegisterServer"
status=0
call 'C:\TX880 Driver\Renamed.dll' register || status=$?
[[ $status == 1 ]] || fail "$step: exit code $status"
expected_output='box "Driver Registration Failed": Register Server failed with error code -101
result 0x80004005'
[[ $output == "$expected_output" ]] || fail "$step: $output"
expect_registered 'c:\other\tx880asio.dll'

step="copy under another name, regsvr32"
zev_wine_start regsvr32 /s 'C:\TX880 Driver\Renamed.dll'
zev_wine_wait_window "Driver Registration Failed" 30 || fail "$step: no message box"
zev_wine_screenshot registration-failed >/dev/null
xdotool search --name "Driver Registration Failed" >/dev/null || fail "$step: no box window"
xdotool key --clearmodifiers Return
status=0
wait "$ZEV_WINE_PID" || status=$?
((status != 0)) || fail "$step: regsvr32 reported success"
echo "ok   $step (regsvr32 exit code $status)"
expect_registered 'c:\other\tx880asio.dll'

step="copy under another name, DllUnregisterServer"
status=0
call 'C:\TX880 Driver\Renamed.dll' unregister || status=$?
[[ $status == 1 && $output == "result 0x80004005" ]] || fail "$step: exit code $status"
expect_registered 'c:\other\tx880asio.dll'

step="DllUnregisterServer, twice"
call "$path" unregister || fail "$step: first exit code $?"
[[ $output == "result 0x00000000" ]] || fail "$step: $output"
call "$path" unregister || fail "$step: second exit code $?"
[[ $output == "result 0x00000000" ]] || fail "$step: $output"
expect_unregistered

# An ASIO host finds the driver through HKLM\SOFTWARE\ASIO and creates it with CoCreateInstance.
step="asio_host over the registered simulated driver"
zev_wine_run regsvr32 /s 'C:\TX880 Driver\TX880AsioSim.dll' || fail "$step: regsvr32 exit code $?"
expect_values "$server_key" '(Default)=c:\tx880 driver\tx880asiosim.dll' "ThreadingModel=Apartment"
zev_wine_run "$host" --name "TX880 ASIO driver" --seconds 2 || fail "$step: asio_host exit code $?"
echo "ok   $step"
