# The real zevstub.exe running appended scripts: the script's exit code, a script that fails to
# compile, and a command that raises an error. Run by run-script.sh with a display.
source "$ZEV_SOURCE_DIR/tests/wine/scripts/setup_runs.sh"

work=$ZEV_ARTIFACTS_DIR/work
rm -rf "$work"
mkdir -p "$work"
bash "$ZEV_SOURCE_DIR/tools/make-sample-setup.sh" "$ZEV_BUILD_DIR" "$work/sample"
log=$WINEPREFIX/drive_c/setup.log

log_text() { iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r'; }

check() {
  local what=$1 expected=$2 actual=$3
  [[ $actual == "$expected" ]] || { echo "FAIL $what: got '$actual', expected '$expected'"; log_text; exit 1; }
  echo "ok   $what: $actual"
}

support_folders() { find "$WINEPREFIX/drive_c/users" -maxdepth 6 -type d -iname 'zev[0-9]*' 2>/dev/null; }

# The script's own exit code, after the normal clean-up.
folder=$(layout exit-code <<'SCRIPT'
Set Variable|CODE|5
Terminate with Exit Code|$CODE$
Set Variable|NEVER|1
SCRIPT
)
check "exit code of the script" 5 "$(run_setup "$folder" /s)"
check "last log line" "</Kestrix>" "$(log_text | tail -n 1)"
check "runner's closing lines" "    </ExitScript>" "$(log_text | grep -F -A0 '    </ExitScript>')"
check "support folder removed" "" "$(support_folders)"

# A script that fails its compile pass ends the process at once with 314.
folder=$(layout no-end <<'SCRIPT'
Set Variable|A|1
If|A|0|1|FALSE
Set Variable|B|2
SCRIPT
)
check "compile failure" 314 "$(run_setup "$folder" /s)"
check "log stops after the compile pass starts" "    <CompileScript>" "$(log_text | tail -n 1)"
rm -rf $(support_folders)

# A command that raises an error: the message names its line, the run ends normally otherwise.
folder=$(layout runtime-error <<'SCRIPT'
Set Variable|TITLE|TX880 Driver
Set Variable|STEP|1
Set Variable|PROGRESS|half
Set Variable|STEP|2
SCRIPT
)
check "runtime error, silent" 0 "$(run_setup "$folder" /s)"
check "no closing runner lines after the error" "" "$(log_text | grep -F '    </vorn>')"
check "start-up still cleans up" "</Kestrix>" "$(log_text | tail -n 1)"

rm -f "$log"
cd "$folder"
zev_wine_start setup.exe
cd - >/dev/null
zev_wine_wait_window "TX880 Driver - Kestrix Wizard" 60
sleep 1
zev_wine_screenshot runtime-error
xdotool key --clearmodifiers Return
status=0
wait "$ZEV_WINE_PID" || status=$?
check "runtime error, shown" 0 "$status"

# "Is MSI Setup Installed" through the system's msi.dll: the sample product installed by Windows
# Installer in this prefix is found, an unknown product is not.
folder=$(layout product-query <<'SCRIPT'
Is MSI Setup Installed|{7C1A2B3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}|SAMPLE
Is MSI Setup Installed|{00000000-1111-4222-8333-444444444444}|OTHER
Set Variable|CODE|0
If|SAMPLE|0|TRUE|FALSE
Mathematics|$CODE$|1|0|CODE
End
If|OTHER|0|TRUE|FALSE
Mathematics|$CODE$|2|0|CODE
End
Terminate with Exit Code|$CODE$
SCRIPT
)
check "product not installed yet" 0 "$(run_setup "$folder" /s)"
zev_wine_run msiexec /i "$(zev_wine_path "$work/sample/setup.msi")" /qn
check "installed product found, unknown one not" 1 "$(run_setup "$folder" /s)"
