#!/usr/bin/env bash
# The Windows program for real: the x86_64 build under wine64 inside Xvfb,
# with Wine's own Script Control, VBScript, WMI, registry and window.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$ROOT/build/win-x86_64"
LINUX="$ROOT/build/linux"
WORK="$ROOT/build/wine"
ART="$ROOT/build/artifacts"
HERE="$ROOT/tests/windows"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WORK" "$ART"

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
w() { env LC_ALL=zh_CN.UTF-8 "$WINE" "$@"; }

XVFB_PID=""
start_screen() {  # WIDTHxHEIGHT
    stop_screen
    export DISPLAY=":$((90 + RANDOM % 100))"
    Xvfb "$DISPLAY" -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.1; done
    fail "Xvfb did not start"
}
stop_screen() {
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
    XVFB_PID=""
}
stop_wine() { WINEPREFIX="$1" "$WINESERVER" -k 2>/dev/null || true; WINEPREFIX="$1" "$WINESERVER" -w 2>/dev/null || true; }
cleanup() { for p in "$WORK"/p-*; do [ -d "$p" ] && stop_wine "$p"; done; stop_screen; }
trap cleanup EXIT

# One prefix made once, copied for every test that changes it.
TEMPLATE="$WORK/template"
if [ ! -f "$TEMPLATE/.ready" ]; then
    rm -rf "$TEMPLATE"
    export WINEPREFIX="$TEMPLATE"
    w wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
    w reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    cp /usr/share/wine/fonts/marlett.ttf "$TEMPLATE/drive_c/windows/Fonts/" 2>/dev/null || true
    "$WINESERVER" -w
    touch "$TEMPLATE/.ready"
fi
new_prefix() {
    local p="$WORK/p-$1"
    [ -d "$p" ] && stop_wine "$p"
    rm -rf "$p"; cp -a "$TEMPLATE" "$p"; echo "$p"
}

hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }
reg_edid() {  # control set, device instance, type, data
    w reg add "HKLM\\SYSTEM\\ControlSet00$1\\Enum\\DISPLAY\\QVTEST\\$2\\Device Parameters" \
        /v EDID /t "$3" /d "$4" /f >/dev/null 2>&1 || fail "reg add $1 $2"
}

start_screen 1280x1024

# --- the automation layer and the Windows facts --------------------------
export WINEPREFIX="$(new_prefix facts)"
EDID128="$ROOT/tests/data/edid/HWP-4250-a8148668.bin"
reg_edid 1 1 REG_BINARY 00ffffffff
reg_edid 2 1 REG_BINARY "$(hex_of "$EDID128")"
reg_edid 3 1 REG_SZ notbinary
reg_edid 1 2 REG_BINARY 00ffffffff
reg_edid 2 2 REG_BINARY 0102030405
reg_edid 1 3 REG_BINARY "$(hex_of "$EDID128")"
reg_edid 2 3 REG_BINARY 00ffffffff
reg_edid 1 4 REG_SZ "$(hex_of "$EDID128")"
SIG="$("$LINUX/quorvin-report" | grep 'CPU序列' | grep -o '[0-9A-F]\{16\}$')"
QV_EDID_FILE="$(w winepath -w "$EDID128" 2>/dev/null | tr -d "\r")" QV_EXPECT_USER="$(id -un)" \
QV_EXPECT_HOST="$(hostname)" QV_EXPECT_SIG="$SIG" QV_SCREEN_W=1280 QV_SCREEN_H=1024 \
    w "$BUILD/tests/windows/quorvin-wintests.exe" --gtest_filter='-Leaks.*:Without*' \
    || fail "quorvin-wintests"
pass "automation layer, Script Control, RegExp, registry, Windows facts, our own host beside the Script Control"

# The scripts run by themselves in the same prefix, for comparison.
REPLIES="$WINEPREFIX/drive_c/qvout"
mkdir -p "$REPLIES"
w "$BUILD/tests/windows/quorvin-driver.exe" scripts 'C:\qvout' || fail "driver scripts"
for s in os chassis maker processor monitor memory disk video board model; do
    w cscript //nologo "C:\\qvout\\$s.vbs" >/dev/null 2>&1 || true
done
stop_wine "$WINEPREFIX"

# --- the window ------------------------------------------------------------
start_quorvin() {
    w "$BUILD/quorvin.exe" &
    QPID=$!
    GEOM="$(w "$BUILD/tests/windows/quorvin-driver.exe" wait | tr -d "\r")" || fail "window did not appear"
}
geom() { echo "$GEOM" | awk -v k="$1" '$1 == k { print $2, $3, $4, $5 }'; }
read_box() {  # FILE [report]
    w "$BUILD/tests/windows/quorvin-driver.exe" read 'C:\qvout\box.txt' ${2:-} || fail "read box"
    cp "$WINEPREFIX/drive_c/qvout/box.txt" "$1"
}
click_at() { xdotool mousemove "$1" "$2" click 1; sleep 0.5; }
wait_exit() {
    local rc=0
    for _ in $(seq 100); do kill -0 "$QPID" 2>/dev/null || break; sleep 0.1; done
    wait "$QPID" || rc=$?
    [ "$rc" -eq 0 ] || fail "exit code $rc after $1"
    pass "Esc closes the window from $1, exit code 0"
}

start_quorvin
[ "$(geom window)" = "340 112 600 800" ] || fail "window at $(geom window), expected 340 112 600 800"
[ "$(geom edit)" = "0 0 440 934" ] || fail "report box at $(geom edit)"
[ "$(geom button)" = "464 368 96 40" ] || fail "read button at $(geom button)"
echo "$GEOM" | grep -q '^button_caption 读取$' || fail "button caption"
echo "$GEOM" | grep -q 'maximizebox=0 minimizebox=1 thickframe=1' || fail "frame styles: $GEOM"
echo "$GEOM" | grep -q 'edit_style multiline=1 readonly=0 vscroll=0' || fail "report box styles: $GEOM"
pass "600x800 window centred, controls at their rectangles"
read -r CX CY <<<"$(geom client)"
BX=$((CX + 464 + 48)); BY=$((CY + 368 + 20))
click_at "$BX" "$BY"
sleep 1
read_box "$ART/report-1.txt" report
python3 "$HERE/check_report.py" "$ART/report-1.txt" "$WINEPREFIX/drive_c/qvout" || fail "report after the first click"
# Wine's WMI reports a 4 GB card, whose AdapterRAM reaches scripts as -1048576.
grep -q '^ 显卡显存：4293918720' "$ART/report-1.txt" || fail "video memory of a 4 GB card is not 4293918720"
pass "a real click fills the box with the 41 pieces and Wine's own facts"
import -window root "$ART/window-report.png" 2>/dev/null || true
click_at $((CX + 100)) $((CY + 100))
xdotool type --delay 20 "typed-by-user"
read_box "$ART/typed.txt"
grep -q typed-by-user "$ART/typed.txt" || fail "typing into the report box"
click_at "$BX" "$BY"
sleep 1
read_box "$ART/report-2.txt" report
grep -q typed-by-user "$ART/report-2.txt" && fail "second report kept the typed text"
python3 "$HERE/check_report.py" "$ART/report-2.txt" "$WINEPREFIX/drive_c/qvout" || fail "second report"
pass "a second click replaces the report and the typed text"
# A press on the background moves the window like its caption bar.
read -r WX WY _ <<<"$(geom window)"
xdotool mousemove $((CX + 520)) $((CY + 600)) mousedown 1
sleep 0.3
xdotool mousemove $((CX + 560)) $((CY + 630))
sleep 0.3
xdotool mouseup 1
sleep 0.5
GEOM="$(w "$BUILD/tests/windows/quorvin-driver.exe" wait | tr -d "\r")"
read -r NX NY _ <<<"$(geom window)"
[ "$NX" -eq $((WX + 40)) ] && [ "$NY" -eq $((WY + 30)) ] || fail "drag moved the window to $NX,$NY from $WX,$WY"
pass "dragging the background moves the window"
read -r CX CY <<<"$(geom client)"
click_at $((CX + 100)) $((CY + 100))
xdotool key Escape
wait_exit "the report box"

start_quorvin
read -r CX CY <<<"$(geom client)"
click_at $((CX + 464 + 48)) $((CY + 368 + 20))
sleep 1
xdotool key Escape
wait_exit "the read button"
stop_wine "$WINEPREFIX"

# --- a 1366x768 screen: the top edge stands at -16 ---------------------------
start_screen 1366x768
export WINEPREFIX="$(new_prefix small)"
start_quorvin
[ "$(geom window)" = "383 -16 600 800" ] || fail "window at $(geom window) on 1366x768, expected 383 -16 600 800"
pass "on 1366x768 the window is 600x800 and its top is -16"
xdotool key Escape || true
kill "$QPID" 2>/dev/null || true
wait "$QPID" 2>/dev/null || true
stop_wine "$WINEPREFIX"

# --- without the Script Control and RegExp, or without VBScript: the same values
# Removing the registrations is how Windows looks with VBScript switched off.
start_screen 1280x1024  # the screen of the window's report, to compare with
unregister() { for key in "$@"; do w reg delete "$key" /f >/dev/null 2>&1 || true; done; }
SCRIPT_CONTROL=('HKCR\MSScriptControl.ScriptControl' 'HKCR\MSScriptControl.ScriptControl.1'
                'HKCR\CLSID\{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}'
                'HKCR\Wow6432Node\CLSID\{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}')
REGEXP=('HKCR\VBScript.RegExp' 'HKCR\CLSID\{3F4DACA4-160D-11D2-A8E9-00104B365C9F}'
        'HKCR\Wow6432Node\CLSID\{3F4DACA4-160D-11D2-A8E9-00104B365C9F}')
VBSCRIPT=('HKCR\VBScript' 'HKCR\CLSID\{B54F3741-5B07-11CF-A4B0-00AA004A55E8}'
          'HKCR\Wow6432Node\CLSID\{B54F3741-5B07-11CF-A4B0-00AA004A55E8}')
export WINEPREFIX="$(new_prefix noscript)"
unregister "${SCRIPT_CONTROL[@]}" "${REGEXP[@]}"
w "$BUILD/quorvin-report.exe" > "$ART/report-noscript.txt" || fail "report without Script Control"
python3 "$HERE/check_report.py" "$ART/report-noscript.txt" "$REPLIES" || fail "report without Script Control"
python3 "$HERE/check_report.py" --same "$ART/report-noscript.txt" "$ART/report-1.txt" \
    || fail "report without Script Control differs from the window's"
w "$BUILD/tests/windows/quorvin-wintests.exe" --gtest_filter='WithoutScriptControl.*' \
    || fail "quorvin-wintests without the Script Control"
pass "without the Script Control and RegExp the report shows the same values"
stop_wine "$WINEPREFIX"

export WINEPREFIX="$(new_prefix novbscript)"
unregister "${VBSCRIPT[@]}" "${REGEXP[@]}"
w "$BUILD/tests/windows/quorvin-wintests.exe" --gtest_filter='WithoutVBScript.*' \
    || fail "quorvin-wintests without VBScript"
w "$BUILD/quorvin-report.exe" > "$ART/report-novbscript.txt" || fail "report without VBScript"
python3 "$HERE/check_report.py" --same "$ART/report-novbscript.txt" "$ART/report-1.txt" \
    || fail "report without VBScript differs from the window's"
pass "with the Script Control but no VBScript engine the report shows the same values"
stop_wine "$WINEPREFIX"
# --- a crisp window at 144 DPI (150 %) --------------------------------------
start_screen 1920x1440
line_height() { w "$BUILD/tests/windows/quorvin-driver.exe" lineheight | tr -d '\r' | awk '{print $2}'; }
export WINEPREFIX="$(new_prefix dpi96)"
w "$BUILD/quorvin.exe" &
w "$BUILD/tests/windows/quorvin-driver.exe" wait >/dev/null || fail "no window at 96 DPI"
LH96="$(line_height)"
stop_wine "$WINEPREFIX"
export WINEPREFIX="$(new_prefix dpi144)"
w reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 || fail "reg add LogPixels"
"$WINESERVER" -w
start_quorvin
# Everything the window gives in pixels at 96 DPI, times 1.5, centred.
[ "$(geom window)" = "510 120 900 1200" ] || fail "window at 144 DPI at $(geom window), expected 510 120 900 1200"
[ "$(geom edit)" = "0 0 660 1401" ] || fail "report box at 144 DPI at $(geom edit)"
[ "$(geom button)" = "696 552 144 60" ] || fail "read button at 144 DPI at $(geom button)"
import -window root "$ART/window-144dpi.png" 2>/dev/null || true
LH144="$(line_height)"
[ -n "$LH96" ] && [ -n "$LH144" ] && [ "$LH144" -gt "$LH96" ] || fail "the font at 144 DPI ($LH144) is not taller than at 96 ($LH96)"
stop_wine "$WINEPREFIX"
pass "at 144 DPI the window is 900x1200 with its controls in place, the text $LH144 pixels a line against $LH96 at 96 DPI"
start_screen 1280x1024

# --- quorvin-report.exe --json: format 1 through either script path --------
export WINEPREFIX="$(new_prefix json)"
w "$BUILD/quorvin-report.exe" --json > "$ART/report.json" || fail "quorvin-report.exe --json"
GUID="$(w reg query 'HKLM\Software\Microsoft\Cryptography' /v MachineGuid 2>/dev/null | tr -d '\r' | awk '/MachineGuid/ {print $NF}')"
unregister "${SCRIPT_CONTROL[@]}" "${REGEXP[@]}"
w "$BUILD/quorvin-report.exe" --json > "$ART/report-ownhost.json" || fail "quorvin-report.exe --json through our host"
VERSION="$(cat "$BUILD/version.txt")"
[ "$(w "$BUILD/quorvin-report.exe" --version | tr -d '\r')" = "quorvin-report $VERSION" ] || fail "quorvin-report.exe --version"
/usr/bin/python3 - "$ART/report.json" "$ART/report-ownhost.json" "$ROOT/docs/report.schema.json" "$GUID" "$VERSION" <<'PY' || fail "the JSON of quorvin-report.exe"
import json, sys, jsonschema
schema = json.load(open(sys.argv[3]))
docs = []
for path in sys.argv[1:3]:
    raw = open(path, "rb").read()
    assert all(b < 0x80 for b in raw), path + " is not ASCII"
    doc = json.loads(raw)
    jsonschema.validate(doc, schema)
    assert doc["video_controllers"][0]["memory_bytes"] == 4293918720, doc["video_controllers"]
    assert doc["identity"]["machine_id"] == sys.argv[4] and sys.argv[4], (doc["identity"], sys.argv[4])
    assert doc["source"] == {"kind": "machine", "root": None, "file": None}, doc["source"]
    assert doc["system"]["os_bits"] == 64, doc["system"]  # Wine's OSArchitecture is "64-bit"
    assert doc["memory"]["total_bytes"] and doc["memory"]["total_source"], doc["memory"]
    assert len(doc["warnings"]) == len(doc["unread"]), (doc["warnings"], doc["unread"])
    assert doc["tool"] == {"name": "quorvin-report", "version": sys.argv[5]}, doc["tool"]
    assert doc["system"]["os_family"]["code"] > 0 and doc["system"]["os_family"]["name"].startswith("Windows"), doc["system"]
    docs.append(doc)
# The Script Control and our host answer alike.
for doc in docs:
    for k in ("collected_at", "elapsed_ms"):
        doc.pop(k)
assert docs[0] == docs[1], "the two script paths differ"
print("identity:", docs[0]["identity"], "warnings:", docs[0]["warnings"])
PY
pass "quorvin-report.exe --json: ASCII, valid format 1, the MachineGuid as machine id, the 4 GB card as a number, the same through our host"

# --- a Windows machine sent as a file: --capture FILE, then --machine FILE on
# Windows and on Linux give the same report and JSON.
w "$BUILD/quorvin-report.exe" --capture 'C:\qv.machine' > "$ART/report-captured.txt" || fail "--capture FILE"
cp "$WINEPREFIX/drive_c/qv.machine" "$ART/wine.machine"
w "$BUILD/quorvin-report.exe" --capture 'C:\qv.machine' >/dev/null 2>&1 && fail "--capture wrote over an existing file"
cmp -s "$WINEPREFIX/drive_c/qv.machine" "$ART/wine.machine" || fail "--capture changed an existing file"
w "$BUILD/quorvin-report.exe" --machine 'C:\qv.machine' > "$ART/report-from-file.txt" || fail "--machine FILE"
"$LINUX/quorvin-report" --machine "$ART/wine.machine" > "$ART/report-from-file-linux.txt" || fail "--machine FILE on Linux"
for f in report-from-file.txt report-from-file-linux.txt; do
    diff <(head -n -1 "$ART/report-captured.txt") <(head -n -1 "$ART/$f") || fail "$f is not the captured machine's report"
done
w "$BUILD/quorvin-report.exe" --json > "$ART/live.json" || fail "--json"
w "$BUILD/quorvin-report.exe" --json --machine 'C:\qv.machine' > "$ART/from-file.json" || fail "--json --machine FILE"
"$LINUX/quorvin-report" --json --machine "$ART/wine.machine" > "$ART/from-file-linux.json" || fail "--json --machine FILE on Linux"
/usr/bin/python3 - "$ART/live.json" "$ART/from-file.json" "$ART/from-file-linux.json" <<'PY' || fail "the JSON of a machine file"
import json, sys
docs = [json.load(open(p)) for p in sys.argv[1:]]
assert docs[1]["source"]["kind"] == "machine_file", docs[1]["source"]
for d in docs:
    for k in ("collected_at", "elapsed_ms", "source", "privileged"):
        d.pop(k)
assert docs[0] == docs[1], ("Windows", docs[0], docs[1])
assert docs[0] == docs[2], ("Linux", docs[0], docs[2])
PY
pass "--capture FILE writes the machine (never over a file), and --machine FILE gives its report and JSON on Windows and on Linux"
# Cards beyond AdapterRAM's 32 bits: the driver key of the controller's device
# holds the whole figure, as Windows lays it out (Enum\<device>\Driver names
# the key under the display class). The text line keeps WMI's figure.
DEVICE="$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["video_controllers"][0]["device_id"])' "$ART/report.json")"
CLASS='HKLM\System\CurrentControlSet\Control\Class\{4d36e968-e325-11ce-bfc1-08002be10318}\0007'
w reg add "HKLM\\System\\CurrentControlSet\\Enum\\$DEVICE" /v Driver /d '{4d36e968-e325-11ce-bfc1-08002be10318}\0007' /f >/dev/null 2>&1 \
    || fail "reg add Driver"
video_memory() { w "$BUILD/quorvin-report.exe" --json | python3 -c 'import json, sys; print(json.load(sys.stdin)["video_controllers"][0]["memory_bytes"])'; }
w reg add "$CLASS" /v HardwareInformation.qwMemorySize /t REG_QWORD /d 12884901888 /f >/dev/null 2>&1 || fail "reg add qwMemorySize"
[ "$(video_memory)" = 12884901888 ] || fail "a 12 GB card's memory in the JSON: $(video_memory)"
w "$BUILD/quorvin-report.exe" > "$ART/report-12gb.txt" || fail "report with a 12 GB card"
grep -q '^ 显卡显存：4293918720$' "$ART/report-12gb.txt" || fail "the text line no longer shows WMI's figure"
w reg delete "$CLASS" /v HardwareInformation.qwMemorySize /f >/dev/null 2>&1
w reg add "$CLASS" /v HardwareInformation.MemorySize /t REG_DWORD /d 2147483648 /f >/dev/null 2>&1 || fail "reg add MemorySize"
[ "$(video_memory)" = 2147483648 ] || fail "a 2 GB card's memory in the JSON: $(video_memory)"
pass "the JSON carries a 12 GB card's and a 2 GB card's memory from the driver key; the text line keeps WMI's figure"
stop_wine "$WINEPREFIX"

# --- the MSI: its tables, and install, upgrade and removal under Wine --------
MSI="$WORK/msi"; rm -rf "$MSI"; mkdir -p "$MSI"
NEXT="${VERSION%.*}.$(( ${VERSION##*.} + 1 ))"
"$ROOT/contrib/msi/build.sh" "$VERSION" x86 "$ROOT/build/win-i686" "$MSI/x86.msi" 2>/dev/null || fail "wixl x86"
"$ROOT/contrib/msi/build.sh" "$VERSION" x64 "$BUILD" "$MSI/old.msi" 2>/dev/null || fail "wixl x64"
"$ROOT/contrib/msi/build.sh" "$NEXT" x64 "$BUILD" "$MSI/new.msi" 2>/dev/null || fail "wixl x64, the next version"
# The 32-bit product cannot run here: its package is read back from its tables.
table() { msiinfo export "$MSI/x86.msi" "$1" | tr -d '\r'; }
msiinfo suminfo "$MSI/x86.msi" | grep -q '^Template: Intel;1033$' || fail "the x86 MSI is not for Intel"
msiinfo suminfo "$MSI/x86.msi" | grep -q '^Version: 301 ' || fail "the x86 MSI needs more than Windows Installer 3.01"
table Property | grep -q "^ProductVersion	$VERSION\$" || fail "the x86 MSI's version"
table Property | grep -q '^UpgradeCode	{6F1C2A7E-4B3D-4E8A-9C51-2D7B0E93A4F6}' || fail "the UpgradeCode"
table Property | grep -q '^ALLUSERS	1' || fail "the x86 MSI is not per machine"
table Directory | grep -q '^INSTALLDIR	ProgramFilesFolder	Quorvin' || fail "not under Program Files (x86)"
table File | grep -c 'quorvin\(-report\)\?\.exe' | grep -qx 2 || fail "the x86 MSI's files"
table Shortcut | grep -q 'ProgramMenuFolder	Quorvin	.*quorvin.exe.*quorvin.ico' || fail "the shortcut"
table Upgrade | grep -q '6F1C2A7E' || fail "no major upgrade"
export WINEPREFIX="$(new_prefix msi)"
C="$WINEPREFIX/drive_c"
uninstall_entries() { w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' | grep -a -A1 'DisplayName    REG_SZ    Quorvin$' | grep -a DisplayVersion | awk '{print $NF}'; }
w msiexec /i "Z:$MSI/old.msi" /qn || fail "msiexec /i"
[ -f "$C/Program Files/Quorvin/quorvin.exe" ] && [ -f "$C/Program Files/Quorvin/quorvin-report.exe" ] || fail "the programs are not installed"
# Wine puts a per-machine shortcut under the user's Start menu; Windows under the machine's.
[ -n "$(find "$C" -name Quorvin.lnk -path '*Start Menu/Programs*')" ] || fail "no Start-menu shortcut"
[ "$(uninstall_entries)" = "$VERSION" ] || fail "the uninstall entry: $(uninstall_entries)"
w 'C:\Program Files\Quorvin\quorvin-report.exe' --json > "$ART/installed.json" || fail "the installed quorvin-report.exe --json"
/usr/bin/python3 -c 'import json, sys, jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' \
    "$ART/installed.json" "$ROOT/docs/report.schema.json" || fail "the installed program's JSON"
w msiexec /i "Z:$MSI/new.msi" /qn || fail "msiexec /i of the next version"
[ "$(uninstall_entries)" = "$NEXT" ] || fail "after the upgrade the uninstall entries say: $(uninstall_entries)"
[ -f "$C/Program Files/Quorvin/quorvin.exe" ] || fail "the upgrade removed the program"
w msiexec /x "Z:$MSI/new.msi" /qn || fail "msiexec /x"
left="$(find "$C" -iname '*quorvin*')"
[ -z "$left" ] || fail "left after removal: $left"
! w reg query 'HKLM\Software\Quorvin' >/dev/null 2>&1 || fail "HKLM\Software\Quorvin left after removal"
[ -z "$(uninstall_entries)" ] || fail "an uninstall entry left after removal"
pass "the MSI: per machine under Program Files\\Quorvin with a shortcut and an uninstall entry, its installed program runs, a newer one upgrades it in place, removal leaves nothing"
stop_wine "$WINEPREFIX"

# --- reference counts: reports in a loop leave nothing behind ----------------
export WINEPREFIX="$(new_prefix leaks)"
w "$BUILD/tests/windows/quorvin-wintests.exe" --gtest_filter=Leaks.* | tr -d '\r' | tee "$ART/leaks.txt" \
    | grep -E 'runs:|per report|OK|FAILED' || true
grep -q '^\[  PASSED  \] 3 tests' "$ART/leaks.txt" || fail "objects left behind by the loop of reports"
pass "a hundred reports, and reports through our own host, leave the heaps where they were, beyond what Wine's WMI keeps"
stop_wine "$WINEPREFIX"
echo "Wine tests passed; artifacts in $ART"
