# The real zevstub.exe deciding between a first run, maintenance and an upgrade against a product
# that Windows Installer really installed in this prefix, and the engine state file in the cache
# folder. Run by run-script.sh.
#
# A run reports what it saw through its exit code: "1" and then one digit per probed variable
# (TRUE/FALSE probes: 1 = "TRUE", 2 = "FALSE", 0 = anything else; text probes: 1 = equal,
# 0 = different). The full code is read through cmd's ERRORLEVEL.
source "$ZEV_SOURCE_DIR/tests/wine/scripts/setup_runs.sh"

product='{7C1A2B3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}'  # the sample package's product code
revision='{8D2B3C4E-5F60-4B7C-9D8E-0F1A2B3C4D5E}' # script_text's revision code
newer='{9E3C4D5F-6071-4C8D-8E9F-1A2B3C4D5E6F}'    # a later package of the same product
title='TX880 Wine Test'

work=$ZEV_ARTIFACTS_DIR/work
rm -rf "$work"
mkdir -p "$work"
bash "$ZEV_SOURCE_DIR/tools/make-sample-setup.sh" "$ZEV_BUILD_DIR" "$work/sample"
log=$WINEPREFIX/drive_c/setup.log
failures=()

# The folders as a 32-bit program in this prefix sees them.
reg_text() { wine reg query "$1" /v "$2" "${@:3}" | tr -d '\r' | sed -n 's/^ *[^ ].*REG_SZ *//p'; }
common_data=$(reg_text 'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' 'Common AppData')
program_files=$(reg_text 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir /reg:32)
echo "common application data: $common_data; program files (32-bit): $program_files"
[[ $common_data == 'C:\'* && $program_files == 'C:\'* ]] || { echo "FAIL folders of the prefix"; exit 1; }
default_target="$program_files\\$title\\"
cache="$common_data\\$revision\\"
newer_cache="$common_data\\$newer\\"

# linux_path WINDOWS_PATH: the same file in the prefix's drive C.
linux_path() {
  local path=${1#C:\\}
  echo "$WINEPREFIX/drive_c/${path//\\//}"
}
cache_dir=$(linux_path "$cache")
newer_cache_dir=$(linux_path "$newer_cache")

crlf() { sed 's/$/\r/'; }

log_text() { iconv -f UTF-16LE -t UTF-8 "$1/setup.log" 2>/dev/null | tr -d '\r'; }

fail() {
  echo "FAIL $1"
  failures+=("$1")
}

check() {
  local what=$1 expected=$2 actual=$3
  if [[ $actual == "$expected" ]]; then
    echo "ok   $what: $actual"
  else
    fail "$what: got '$actual', expected '$expected'"
  fi
}

is_flag() { [[ $1 == TRUE || $1 == FALSE ]]; }

# probe_lines NAME=VALUE...: the script lines that add one digit per probe to CODE.
probe_lines() {
  local probe name value
  echo 'Set Variable|CODE|1'
  for probe; do
    name=${probe%%=*} value=${probe#*=}
    if is_flag "$value"; then
      printf '%s\n' "If|$name|0|TRUE|FALSE" 'Set Variable|CODE|$CODE$1' \
        "Else If|$name|0|FALSE|FALSE" 'Set Variable|CODE|$CODE$2' 'Else' 'Set Variable|CODE|$CODE$0' 'End'
    else
      printf '%s\n' "If|$name|0|$value|FALSE" 'Set Variable|CODE|$CODE$1' 'Else' \
        'Set Variable|CODE|$CODE$0' 'End'
    fi
  done
}

# probe_layout NAME PROBE...: a layout whose script runs the commands in BEFORE_PROBES, probes
# the variables, runs the commands from standard input and ends with the probes' exit code. The
# probes are kept beside it.
probe_layout() {
  local name=$1
  shift
  (($# <= 9)) || { echo "too many probes for one exit code: $*" >&2; exit 1; }
  {
    [[ -z ${BEFORE_PROBES:-} ]] || echo "$BEFORE_PROBES"
    probe_lines "$@"
    cat
    echo 'Terminate with Exit Code|$CODE$'
  } | layout "$name"
  printf '%s\n' "$@" >"$work/$name/probes"
}

# check_probes WHAT FOLDER: runs the layout and compares every probe's digit.
check_probes() {
  local what=$1 folder=$2
  local -a probes
  mapfile -t probes <"$folder/probes"
  local code expected=1 probe value digit seen i=0
  code=$(run_setup "$folder" /s)
  for probe in "${probes[@]}"; do
    if is_flag "${probe#*=}"; then
      [[ ${probe#*=} == TRUE ]] && expected+=1 || expected+=2
    else
      expected+=1
    fi
  done
  if [[ $code == "$expected" ]]; then
    echo "ok   $what: ${probes[*]}"
    return
  fi
  fail "$what: exit code '$code', expected '$expected'"
  ((${#code} == ${#expected})) || echo "       the run did not end at the script's last command"
  for probe in "${probes[@]}"; do
    ((${#code} == ${#expected})) || break
    i=$((i + 1))
    value=${probe#*=} digit=${code:i:1}
    if is_flag "$value"; then
      case $digit in 1) seen=TRUE ;; 2) seen=FALSE ;; *) seen="neither TRUE nor FALSE" ;; esac
    else
      [[ $digit == 1 ]] && seen="equal" || seen="different"
    fi
    echo "       ${probe%%=*}: expected '$value', got $seen"
  done
  echo "       setup log ($folder/setup.log):"
  log_text "$folder" | sed 's/^/       | /'
}

# The state file as the engine writes it: the component lists, TARGETDIR, ALLUSERS, STARTMENU,
# the data folder, then the persistent variables from standard input (name and value lines) and
# the 64-bit setting.
state_head() {
  printf '%s\n' VORN-PREDEF-COMPONENT '$' TRUE '$' '$' '$' '$' VORN-PREDEF-COMPONENT 0 '$' \
    "$1" TRUE 'TX880 Custom Menu' '' | crlf
}
state_file() {
  state_head "$1"
  { cat; printf '%s\n' VORN64WOW Win32; } | crlf
}

# hidden_attribute WINDOWS_PATH: the attribute letters that cmd's attrib shows for it.
hidden_attribute() {
  wine cmd /c attrib "$1" | tr -d '\r' | grep -F "$1" | sed 's/C:.*//' | tr -d ' '
}

# 1. Before the product is installed: a first run.
folder=$(probe_layout first-run MAINTENANCE=FALSE NEEDSUPGRADE=FALSE NEWINSTANCE=FALSE \
  ALLUSERS=TRUE PRODUCTCODE="$product" REVISIONCODE="$revision" TARGETDIR="$default_target" \
  ENGINECACHE="$cache" UNINSTALLLINK="${cache}setup.exe" <<'SCRIPT'
Set Variable|SEEN_MAINT$VORN$VORN$TRUE|$MAINTENANCE$
SCRIPT
)
check_probes "first run" "$folder"
check "no state file written without an installation" "" \
  "$(ls "$cache_dir/setup.dat" 2>/dev/null || true)"

# 2. The sample product installed by Windows Installer, with this script's revision code as its
# package code.
msi=$work/product.msi
(cd "$ZEV_SOURCE_DIR/package/sample" && wixl -o "$msi" sample.wxs)
msibuild "$msi" -s "$title" Corvane "Intel;1033" "$revision"
status=0
zev_wine_run msiexec /i "$(zev_wine_path "$msi")" /qn || status=$?
check "msiexec /i" 0 "$status"
installed_query="Is MSI Setup Installed|$product|INSTALLED"
folder=$(BEFORE_PROBES=$installed_query probe_layout installed INSTALLED=TRUE </dev/null)
check_probes "product installed, as the setup program sees it" "$folder"
# Windows Installer keeps GUIDs packed: each group reversed, the last two groups per byte.
packed_guid() {
  local g=${1//[\{\}-]/} out i
  out=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
  for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
  echo "$out"
}
check "installed package code" "$(packed_guid "$revision")" \
  "$(wine reg query "HKLM\\Software\\Classes\\Installer\\Products\\$(packed_guid "$product")" /v PackageCode |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')"
rm -rf "$cache_dir"

# 3. The same package again: maintenance. Without instance.dat it counts as a new instance.
folder=$(probe_layout maintenance </dev/null MAINTENANCE=TRUE NEEDSUPGRADE=FALSE NEWINSTANCE=TRUE \
  PRODUCTCODE="$product" REVISIONCODE="$revision" ENGINECACHE="$cache" \
  UNINSTALLLINK="${cache}setup.exe" ALLUSERS=TRUE)
check_probes "same revision" "$folder"

# The package code is compared ignoring letter case.
lower_revision=${revision,,}
folder=$(SCRIPT_REVISION=$lower_revision probe_layout lower-case </dev/null MAINTENANCE=TRUE \
  NEEDSUPGRADE=FALSE REVISIONCODE="$lower_revision")
check_probes "same revision in lower case" "$folder"

# 4. A newer package (another revision code) over the installed one: an upgrade, with its own
# cache folder and the default target.
folder=$(SCRIPT_REVISION=$newer probe_layout upgrade </dev/null MAINTENANCE=FALSE NEEDSUPGRADE=TRUE \
  NEWINSTANCE=TRUE REVISIONCODE="$newer" ENGINECACHE="$newer_cache" \
  UNINSTALLLINK="${newer_cache}setup.exe" TARGETDIR="$default_target" ALLUSERS=TRUE)
check_probes "other revision" "$folder"

# 5. instance.dat beside the program: its codes and title replace the script's, and the run is
# not a new instance. First the script carries the newer revision and the instance the installed
# one, then the other way round with another title.
folder=$(SCRIPT_REVISION=$newer probe_layout instance-maintenance </dev/null MAINTENANCE=TRUE \
  NEEDSUPGRADE=FALSE NEWINSTANCE=FALSE REVISIONCODE="$revision" ENGINECACHE="$cache")
printf '%s\n' "$product" "$revision" "$title" | crlf >"$folder/instance.dat"
check_probes "instance.dat, installed revision" "$folder"

other_title='TX880 Second Copy'
folder=$(probe_layout instance-upgrade </dev/null MAINTENANCE=FALSE NEEDSUPGRADE=TRUE \
  NEWINSTANCE=FALSE REVISIONCODE="$newer" ENGINECACHE="$newer_cache" TITLE="$other_title" \
  TARGETDIR="$program_files\\$other_title\\")
printf '%s\n' "$product" "$newer" "$other_title" | crlf >"$folder/instance.dat"
check_probes "instance.dat, newer revision and title" "$folder"

# 6. Maintenance with a state file in the cache folder: the folders and persistent variables come
# back from it, and after the run the persistent variables are rewritten with their current
# values behind the unchanged head, the old 64-bit setting last.
mkdir -p "$cache_dir"
check "cache folder not hidden before the run" "" "$(hidden_attribute "${cache%\\}")"
state_file 'D:\TX880 Custom\' >"$cache_dir/setup.dat" <<'PAIRS'
KEPT
kept from the last run
SEEN_MAINT
before
PAIRS
folder=$(probe_layout restore MAINTENANCE=TRUE TARGETDIR='D:\TX880 Custom\' \
  STARTMENU='TX880 Custom Menu' ALLUSERS=TRUE KEPT='kept from the last run' SEEN_MAINT=before <<'SCRIPT'
Set Variable|SEEN_MAINT$VORN$VORN$TRUE|$MAINTENANCE$
Set Variable|SEEN_UPGRADE$VORN$VORN$TRUE|$NEEDSUPGRADE$
Set Variable|SEEN_CACHE$VORN$VORN$TRUE|$ENGINECACHE$
Set Variable|KEPT$VORN$VORN$TRUE|$KEPT$
Set Variable|LINES$VORN$VORN$TRUE|one$NEWLINE$two
SCRIPT
)
check_probes "maintenance restores the state file" "$folder"
{
  state_head 'D:\TX880 Custom\'
  printf '%s\n' KEPT 'kept from the last run' SEEN_MAINT TRUE SEEN_UPGRADE FALSE SEEN_CACHE "$cache" \
    LINES 'one$NEWLINE$two' VORN64WOW Win32 | crlf
} >"$work/expected.dat"
if cmp -s "$work/expected.dat" "$cache_dir/setup.dat"; then
  echo "ok   state file rewritten with the current values"
else
  fail "state file after the maintenance run"
  diff <(cat -A "$work/expected.dat") <(cat -A "$cache_dir/setup.dat") || true
fi
check "nothing else left in the cache folder" "setup.dat" "$(ls "$cache_dir")"

# Wine keeps DOS attributes only where the file system can store them.
mkdir -p "$WINEPREFIX/drive_c/hidden-probe"
wine cmd /c attrib +h 'C:\hidden-probe' >/dev/null
if [[ $(hidden_attribute 'C:\hidden-probe') == *H* ]]; then
  check "cache folder hidden" H "$(hidden_attribute "${cache%\\}")"
else
  echo "skip cache folder hidden: Wine cannot keep the hidden attribute on this file system"
fi

# 7. A script without persistent variables (and a state file without any) writes nothing.
state_file 'D:\TX880 Custom\' </dev/null >"$cache_dir/setup.dat"
touch -d '2020-01-02 03:04:05' "$cache_dir/setup.dat"
cp -p "$cache_dir/setup.dat" "$work/unchanged.dat"
folder=$(probe_layout no-persistent </dev/null MAINTENANCE=TRUE TARGETDIR='D:\TX880 Custom\')
check_probes "maintenance without persistent variables" "$folder"
if cmp -s "$work/unchanged.dat" "$cache_dir/setup.dat" &&
  [[ $(stat -c %Y "$cache_dir/setup.dat") == $(stat -c %Y "$work/unchanged.dat") ]]; then
  echo "ok   state file untouched"
else
  fail "state file written by a script without persistent variables"
  diff <(cat -A "$work/unchanged.dat") <(cat -A "$cache_dir/setup.dat") || true
  stat -c '%y %n' "$work/unchanged.dat" "$cache_dir/setup.dat"
fi

# 8. After the product is removed: a first run again. A state file left behind still gives back
# the folders it holds.
status=0
zev_wine_run msiexec /x "$product" /qn || status=$?
check "msiexec /x" 0 "$status"
folder=$(BEFORE_PROBES=$installed_query probe_layout removed INSTALLED=FALSE </dev/null)
check_probes "product removed, as the setup program sees it" "$folder"
rm -rf "$cache_dir" "$newer_cache_dir"
check_probes "first run after removal" "$work/first-run"
check "no state file written without an installation" "" \
  "$(ls "$cache_dir/setup.dat" 2>/dev/null || true)"

mkdir -p "$cache_dir"
state_file 'D:\TX880 Custom\' </dev/null >"$cache_dir/setup.dat"
folder=$(probe_layout left-behind </dev/null MAINTENANCE=FALSE NEEDSUPGRADE=FALSE \
  TARGETDIR='D:\TX880 Custom\' STARTMENU='TX880 Custom Menu')
check_probes "first run with a state file left behind" "$folder"

if ((${#failures[@]})); then
  echo "failed:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
