# The real zevstub.exe with windows: the splash and preparation windows with a setup.bmp, and the
# start-up message boxes, answered with the keyboard. Run by run-script.sh with a display.

work=$ZEV_ARTIFACTS_DIR/work
rm -rf "$work"
mkdir -p "$work"
bash "$ZEV_SOURCE_DIR/tools/make-sample-setup.sh" "$ZEV_BUILD_DIR" "$work/layout"
folder=$work/layout

# Waits until COUNT windows carry the title (the preparation window and the message box both
# carry the wizard caption).
wait_windows() {
  local title=$1 count=$2 tries
  for ((tries = 0; tries < 300; tries++)); do
    (($(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -cF "\"$title\"") >= count)) && return 0
    sleep 0.2
  done
  echo "FAIL: fewer than $count windows \"$title\""
  exit 1
}

# Starts setup.exe, waits for its message box, takes a screenshot, answers it with Enter and
# checks the exit code.
expect_message_box() {
  local shot=$1 expected=$2 windows=$3 status=0
  shift 3
  cd "$folder"
  zev_wine_start setup.exe "$@"
  cd - >/dev/null
  wait_windows "Kestrix Wizard" "$windows"
  sleep 1
  zev_wine_screenshot "$shot"
  # The message box holds the focus; Enter presses its OK button.
  xdotool key --clearmodifiers Return
  wait "$ZEV_WINE_PID" || status=$?
  [[ $status == "$expected" ]] || { echo "FAIL $shot: exit code $status, expected $expected"; exit 1; }
  echo "ok   $shot: exit code $status"
}

# A splash bitmap of 600 x 400 and no resource archive: the message box stands over the splash
# and the preparation window, which stay on screen while it is open.
/usr/bin/convert -size 600x400 gradient:'rgb(20,60,140)'-'rgb(180,200,230)' \
  -fill white -draw 'roundrectangle 200,150 400,250 20,20' "BMP3:$folder/setup.bmp"
mv "$folder/setup.res" "$folder/setup.res.away"
expect_message_box splash-and-preparation 14 2
mv "$folder/setup.res.away" "$folder/setup.res"

# Nothing appended: the bare stub says so.
cp "$ZEV_BIN_ZEVSTUB" "$folder/bare.exe"
cd "$folder"
zev_wine_start bare.exe
cd - >/dev/null
wait_windows "Kestrix Wizard" 2
zev_wine_screenshot internal-use-only
xdotool key --clearmodifiers Return
status=0
wait "$ZEV_WINE_PID" || status=$?
[[ $status == 13 ]] || { echo "FAIL bare stub: exit code $status"; exit 1; }
echo "ok   bare stub: exit code 13"
