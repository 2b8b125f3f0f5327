# The start-up windows are painted by Repaint alone (no message loop) and show what they should:
# the splash bitmap, a picture and a half-filled progress bar. Run by run-script.sh.

program=$ZEV_BIN_WIN32_PLATFORM_TESTS
work=$ZEV_ARTIFACTS_DIR/work
rm -rf "$work"
mkdir -p "$work"
/usr/bin/convert -size 64x48 'xc:rgb(200,30,40)' "BMP3:$work/splash.bmp"

zev_wine_start "$program" --show-startup-windows "$(zev_wine_path "$work/splash.bmp")" \
  "$(zev_wine_path "$work/stop")" >"$work/out.txt" 2>&1
for ((i = 0; i < 150; i++)); do
  grep -q '^ready' "$work/out.txt" && break
  sleep 0.2
done
grep -q '^ready' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
zev_wine_wait_window "Zev start-up windows" 10
sleep 1  # a few Repaint rounds after mapping
shot=$(zev_wine_screenshot startup-windows)
touch "$work/stop"
wait "$ZEV_WINE_PID"

point() { awk -v name="$1" '$1 == name { print $2 "," $3 }' "$work/out.txt" | tr -d '\r'; }
pixel() { /usr/bin/convert "$shot" -format "%[pixel:p{$1}]" info:; }
colours() { /usr/bin/convert "$shot" -crop "$1" +repage -format %k info:; }

splash=$(pixel "$(point splash-inside)")
filled=$(pixel "$(point progress-filled)")
empty=$(pixel "$(point progress-empty)")
image=$(point image)
picture_colours=$(colours "32x32+${image%,*}+${image#*,}")
echo "splash $splash, progress $filled / $empty, picture colours $picture_colours ($shot)"

[[ $splash == "srgb(200,30,40)" ]] || { echo "splash bitmap not painted"; exit 1; }
[[ $filled != "$empty" ]] || { echo "progress bar not painted"; exit 1; }
((picture_colours >= 5)) || { echo "picture not painted"; exit 1; }
