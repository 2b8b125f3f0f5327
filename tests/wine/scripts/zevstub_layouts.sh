# The real zevstub.exe and zev.lib in silent mode: one layout per exit code, the setup log of a
# good run and the support folder's removal. Run by run-script.sh.

work=$ZEV_ARTIFACTS_DIR/work
rm -rf "$work"
mkdir -p "$work"
bash "$ZEV_SOURCE_DIR/tools/make-sample-setup.sh" "$ZEV_BUILD_DIR" "$work/good"
temp_root=$WINEPREFIX/drive_c/users

# layout NAME: a fresh copy of the good layout to damage.
layout() {
  rm -rf "$work/$1"
  cp -a "$work/good" "$work/$1"
  echo "$work/$1"
}

# run_setup FOLDER ARGS...: runs FOLDER/setup.exe, answers its exit code.
run_setup() {
  local folder=$1 status=0
  shift
  (cd "$folder" && zev_wine_run setup.exe "$@") || status=$?
  echo "$status"
}

expect_code() {
  local name=$1 expected=$2 actual=$3
  if [[ $actual != "$expected" ]]; then
    echo "FAIL $name: exit code $actual, expected $expected"
    exit 1
  fi
  echo "ok   $name: exit code $actual"
}

support_folders() { find "$temp_root" -maxdepth 6 -type d -iname 'zev[0-9]*' 2>/dev/null; }

# Nothing appended: the bare stub.
folder=$(layout bare)
cp "$ZEV_BIN_ZEVSTUB" "$folder/setup.exe"
expect_code "nothing appended" 13 "$(run_setup "$folder" /s)"

folder=$(layout no-resource)
rm "$folder/setup.res"
expect_code "resource archive missing" 14 "$(run_setup "$folder" /s)"
[[ -n $(support_folders) ]] || { echo "FAIL: the support folder of an early end should stay"; exit 1; }
rm -rf $(support_folders)

folder=$(layout damaged-resource)
head -c 200 "$work/good/setup.res" >"$folder/setup.res"
expect_code "resource archive damaged" 15 "$(run_setup "$folder" /s)"
rm -rf $(support_folders)

# An entry that climbs out of the support folder is refused and never written.
folder=$(layout hostile-resource)
mkdir -p "$work/hostile/sub"
echo planted >"$work/hostile/evil.txt"
(cd "$work/hostile/sub" && rm -f "$folder/setup.res" && zip -q "$folder/setup.res" ../evil.txt)
expect_code "resource entry outside the folder" 15 "$(run_setup "$folder" /s)"
if find "$WINEPREFIX/drive_c" -name evil.txt | grep -q .; then
  echo "FAIL: the hostile entry was written"; exit 1
fi
rm -rf $(support_folders)

folder=$(layout no-database)
rm "$folder/setup.msi"
expect_code "setup database missing" 16 "$(run_setup "$folder" -qn)"
rm -rf $(support_folders)

folder=$(layout patch-only)
mv "$folder/setup.msi" "$folder/setup.msp"
expect_code "patch only" 0 "$(run_setup "$folder" /s)"

# A good layout: exit code 0, the support folder gone and the log exactly as expected.
folder=$(layout good-run)
rm -f "$WINEPREFIX/drive_c/setup.log"
expect_code "good layout" 0 "$(run_setup "$folder" /S '/L=C:\Setup.log' TARGET=x)"
[[ -z $(support_folders) ]] || { echo "FAIL: support folder left: $(support_folders)"; exit 1; }
log=$WINEPREFIX/drive_c/setup.log
cp "$log" "$ZEV_ARTIFACTS_DIR/setup.log"
if [[ $(head -c 2 "$log" | od -An -tx1 | tr -d ' ') == fffe ]]; then
  echo "FAIL: the log starts with a byte-order mark"; exit 1
fi
iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r' >"$work/log.txt"
cat >"$work/expected.txt" <<'LOG'
<Kestrix>
  <SetupSplash>
    <StubSize>
    </StubSize>
    <StubData>
    </StubData>
    <GlobalLists>
    </GlobalLists>
    <SupportDir>
    </SupportDir>
    <ExtractArchive>
    </ExtractArchive>
    <ExtractResource>
    </ExtractResource>
    <ResourcePath>
    </ResourcePath>
    <Dialogs>
    </Dialogs>
  </SetupSplash>
  <RunScript>
    <Variables>
    </Variables>
    <CompileScript>
    </CompileScript>
    <BootStrap>
    </BootStrap>
    <vorn>
    </vorn>
    <ExitScript>
    </ExitScript>
  </RunScript>
  <Free>
  </Free>
  <CachedSupportDir>
  </CachedSupportDir>
</Kestrix>
LOG
diff -u "$work/expected.txt" "$work/log.txt" || { echo "FAIL: setup log differs"; exit 1; }
echo "ok   setup log: UTF-16LE, no byte-order mark, $(wc -l <"$work/log.txt") lines"
