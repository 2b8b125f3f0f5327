# Sample layouts with a script appended to the real stub, and runs of them. The caller sets
# work (a folder for the layouts, holding the sample layout in "$work/sample") and log (the
# Linux path of C:\setup.log).
source "$ZEV_SOURCE_DIR/tests/wine/scripts/script_text.sh"

# layout NAME: the sample layout with the script from standard input appended to the stub
# (SCRIPT_REVISION from the environment applies); answers the folder.
layout() {
  rm -rf "$work/$1"
  cp -a "$work/sample" "$work/$1"
  script_text >"$work/$1/script.txt"
  cat "$ZEV_BIN_ZEVSTUB" "$work/$1/script.txt" >"$work/$1/setup.exe"
  echo "$work/$1"
}

# run_setup FOLDER ARGS...: the full exit code (wine's own status keeps only its low 8 bits, so
# the code is read through cmd's ERRORLEVEL). The setup log is also kept beside the layout.
run_setup() {
  local folder=$1
  shift
  rm -f "$log"
  printf '@echo off\r\nsetup.exe %%*\r\necho exit=%%ERRORLEVEL%%\r\n' >"$folder/run.bat"
  (cd "$folder" && zev_wine_run cmd /c run.bat '/l=C:\setup.log' "$@") | tr -d '\r' | sed -n 's/^exit=//p'
  cp "$log" "$folder/setup.log" 2>/dev/null || true
}
