#!/usr/bin/env bash
# Takes the screenshots of docs/windows.md under Wine on a virtual X display of its
# own: the frame window while the run waits for the editor, and the failure box of
# a data file that lacks its title. Wine's virtual desktop draws the title bars,
# since the display has no window manager.
# Needs the Debian packages g++-mingw-w64-x86-64-posix, wine, wine64, fonts-wine,
# xvfb, xdotool and imagemagick. Writes docs/windows-frame.png and
# docs/windows-failure-box.png. Every wait is bounded.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

toolchain=()
[ -e build-win/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B build-win "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2 --target zandovir >/dev/null

WORK=$(mktemp -d /tmp/zandovir-winshots.XXXXXX)
XVFB_PID=
cleanup() {
  WINEPREFIX=$WORK/prefix timeout 20 wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

for number in $(seq 141 190); do
  { [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; } && continue
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$number"
  break
done
for _ in $(seq 1 50); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.2
done
export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 wine wineboot -i >"$WORK/wineboot.log" 2>&1
# The title bar buttons are drawn with Marlett; this Wine does not look for the
# fonts-wine copy by itself.
for font in /usr/share/wine/fonts/marlett.ttf; do
  [ -e "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

# window NAME SECONDS: the visible window titled exactly NAME.
window() {
  local end=$((SECONDS + $2)) id
  while [ $SECONDS -lt $end ]; do
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
    done
    sleep 0.3
  done
  echo "no window \"$1\" within $2 s" >&2
  return 1
}
# shoot NAME: the Wine desktop window, cut to the frame and its boxes, as a small PNG.
shoot() {
  local desktop
  desktop=$(window "shell - Wine desktop" 10)
  sleep 1.5  # let the windows paint
  import -window "$desktop" -crop 722x482+0+0 +repage -colors 64 -strip "PNG8:$ROOT/docs/$1"
}
run_case() {  # run_case FOLDER: the desktop program in its own Wine desktop
  (cd "$1" && timeout 120 wine explorer /desktop=shell,760x520 "$ROOT/build-win/zandovir.exe" \
     >/dev/null 2>&1 || true) &
}

mkdir -p docs
# The frame while the run waits for the editor: notepad.bat waits for a flag file.
CASE=$WORK/frame
cp -r examples "$CASE"
printf '@if not "%%1"=="dados.ent" goto :eof\r\n:wait\r\n@if not exist go.flag goto wait\r\n' >"$CASE/notepad.bat"
printf '@exit /b 0\r\n' >"$CASE/wgnuplot.bat"
run_case "$CASE"
window ZANDOVIR 90 >/dev/null
shoot windows-frame.png
touch "$CASE/go.flag"
for _ in $(seq 1 100); do
  window ZANDOVIR 0 >/dev/null 2>&1 || break
  sleep 0.3
done

# The failure box of a data file without its title.
CASE=$WORK/failure
cp -r examples "$CASE"
head -9 examples/dados.ent >"$CASE/dados.ent"
printf '@exit /b 0\r\n' >"$CASE/notepad.bat"
run_case "$CASE"
window "run-time error " 90 >/dev/null
shoot windows-failure-box.png
echo "wrote docs/windows-frame.png and docs/windows-failure-box.png"
