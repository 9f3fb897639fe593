#!/usr/bin/env bash
# Cross-builds the Windows program into build-win/ and tests it under Wine on a
# virtual X display of its own:
#   - the example case end to end, its files compared byte for byte with the Linux
#     build's output for the same case and clock, and the six launches in order;
#   - a read failure and an arithmetic failure: the boxes, their text and owner,
#     the exit prompt answered No (then the frame closed) or Yes, exit status 1,
#     the files left behind;
#   - the shell's exit modes and the arithmetic traps, through a probe program.
# Needs the Debian packages g++-mingw-w64-x86-64-posix, wine, wine64, xvfb,
# xdotool and x11-utils, besides cmake, g++ and libgtest-dev for the Linux build.
# Every wait is bounded. Prints "N passed, N failed"; exits non-zero on a failure.
# KEEP=1 keeps the scratch folder.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# ---- builds ---------------------------------------------------------------
toolchain=()
[ -e build-win/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
if ! { cmake -S . -B build-win "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
       cmake --build build-win -j2 >/dev/null; }; then
  fail "cross-build of the Windows program"
  finish
fi
pass "cross-build of the Windows program"
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null &&
       cmake --build build -j2 --target zandovir_fixed_clock >/dev/null; }; then
  fail "Linux reference build"
  finish
fi
EXE=$ROOT/build-win/zandovir.exe
FIXED_EXE=$ROOT/build-win/zandovir_fixed_clock.exe
PROBE_EXE=$ROOT/build-win/zandovir_shell_probe.exe
LINUX_FIXED=$ROOT/build/zandovir_fixed_clock
CLOCK=(2026 12 11 9 30 15)

# ---- display and Wine -----------------------------------------------------
WORK=$(mktemp -d /tmp/zandovir-wintest.XXXXXX)
XVFB_PID=
cleanup() {
  WINEPREFIX=$WORK/prefix timeout 20 wineserver -k >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  if [ "${KEEP:-0}" = 1 ]; then echo "scratch kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

for number in $(seq 91 140); do
  [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$number"
  break
done
for _ in $(seq 1 50); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.2
done
if ! xdotool getdisplaygeometry >/dev/null 2>&1; then
  fail "virtual display"
  finish
fi

export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if ! timeout 300 wine wineboot -i >"$WORK/wineboot.log" 2>&1; then
  fail "Wine prefix set-up"
  finish
fi
mkdir -p "$WORK/logs"

# ---- helpers --------------------------------------------------------------
# start NAME DIR EXE ARGS...: runs EXE under Wine in DIR, in the background. The
# exit status goes to logs/NAME.rc; the message boxes' texts are traced to
# logs/NAME.err.
start() {
  local name=$1 dir=$2
  shift 2
  rm -f "$WORK/logs/$name.rc"
  (cd "$dir" && WINEDEBUG=-all,trace+msgbox timeout 180 wine "$@" \
     >"$WORK/logs/$name.out" 2>"$WORK/logs/$name.err"
   echo $? >"$WORK/logs/$name.rc") &
}
# status NAME SECONDS: prints the exit status once the run has ended; fails when
# it has not ended within SECONDS.
status() {
  local file=$WORK/logs/$1.rc end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    if [ -s "$file" ]; then cat "$file"; return 0; fi
    sleep 0.3
  done
  return 1
}
exits_with() { [ "$(status "$1" "$2")" = "$3" ]; }
still_running() { sleep "$2"; [ ! -e "$WORK/logs/$1.rc" ]; }
is_dialog() { xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | grep -q "window id"; }
# window NAME KIND SECONDS: the visible window titled exactly NAME, a dialog (box)
# or a frame, waited for at most SECONDS.
window() {
  local name=$1 kind=$2 end=$(($SECONDS + $3)) id
  while [ $SECONDS -lt $end ]; do
    for id in $(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null); do
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$name" ] || continue
      if [ "$kind" = dialog ] && is_dialog "$id"; then echo "$id"; return 0; fi
      if [ "$kind" = frame ] && ! is_dialog "$id"; then echo "$id"; return 0; fi
    done
    sleep 0.3
  done
  return 1
}
gone() {
  local end=$((SECONDS + $3))
  while [ $SECONDS -lt $end ]; do
    window "$1" "$2" 0 >/dev/null || return 0
    sleep 0.3
  done
  return 1
}
owned_by() { xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | grep -qi "$(printf '0x%x' "$2")\$"; }
press() {
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.4
  xdotool key "$2"
  sleep 0.4
}
close_frame() {  # File > Exit from the keyboard
  press "$1" alt+f
  xdotool key x
}
box_text_shown() { grep -aqF "MSGBOX_OnInit L\"$2\"" "$WORK/logs/$1.err"; }
same_file() { cmp -s "$1" "$2" || { echo "  $2 differs from $1"; return 1; }; }
no_file() { [ ! -e "$1" ] || { echo "  $1 exists"; return 1; }; }
launches_are() { [ "$(tr -d '\r' <"$1" 2>/dev/null)" = "$2" ]; }

# A case folder with notepad.bat and wgnuplot.bat that log their command lines;
# cmd.exe finds them in the current folder before anything on PATH.
make_case() {
  rm -rf "$1"
  cp -r "$ROOT/examples" "$1"
  printf '@echo notepad %%*>>launches.log\r\n' >"$1/notepad.bat"
  printf '@echo wgnuplot %%*>>launches.log\r\n' >"$1/wgnuplot.bat"
}
# The Linux build's output for the same case and clock, as reference.
linux_reference() {
  rm -rf "$2"
  cp -r "$1" "$2"
  mkdir -p "$2.bin"
  printf '#!/bin/sh\nexit 0\n' >"$2.bin/notepad"
  printf '#!/bin/sh\nexit 0\n' >"$2.bin/wgnuplot"
  chmod +x "$2.bin/notepad" "$2.bin/wgnuplot"
  (cd "$2" && PATH="$2.bin:$PATH" timeout 60 "$LINUX_FIXED" "${CLOCK[@]}" </dev/null >/dev/null 2>&1)
}

OUTPUTS=(saida.txt T.dat u.dat e.dat s.dat T.gnu u.gnu e.gnu s.gnu)
SIX_LAUNCHES=$'notepad dados.ent\nwgnuplot T.gnu\nwgnuplot u.gnu\nwgnuplot e.gnu\nwgnuplot s.gnu\nnotepad saida.txt'

# ---- 1. the example case end to end ----------------------------------------
CASE=$WORK/example
make_case "$CASE"
# The editor launch waits for a flag file, so that the frame can be looked at.
printf '@echo notepad %%*>>launches.log\r\n@if not "%%1"=="dados.ent" goto :eof\r\n:wait\r\n@if not exist go.flag goto wait\r\n' \
  >"$CASE/notepad.bat"
linux_reference "$ROOT/examples" "$WORK/example-linux"
start example "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
frame=$(window ZANDOVIR frame 90) && pass "example: the frame's caption is ZANDOVIR while the editor runs" ||
  fail "example: the frame's caption is ZANDOVIR while the editor runs"
check "example: the run waits for the editor" still_running example 2
touch "$CASE/go.flag"
check "example: exit code 0" exits_with example 120 0
check "example: the windows close without a prompt" gone ZANDOVIR frame 5
for file in "${OUTPUTS[@]}"; do
  check "example: $file byte for byte as the Linux build's" same_file "$WORK/example-linux/$file" "$CASE/$file"
done
check "example: the six launches in order" launches_are "$CASE/launches.log" "$SIX_LAUNCHES"

# The desktop program itself, with the real clock: the same files apart from the
# lines that carry the date and time.
CASE=$WORK/example-clock
make_case "$CASE"
before=$(date +%d/%m/%Y)
start clock "$CASE" "$EXE"
check "real clock: exit code 0" exits_with clock 120 0
after=$(date +%d/%m/%Y)
dated() { head -3 "$CASE/saida.txt" | grep -qF -e "($before)" -e "($after)"; }
check "real clock: the report is dated today" dated
apart_from_labels() {
  same_file <(tail -n +4 "$WORK/example-linux/saida.txt") <(tail -n +4 "$CASE/saida.txt") &&
    for file in T.dat u.dat e.dat s.dat; do same_file "$WORK/example-linux/$file" "$CASE/$file" || return 1; done &&
    for file in T.gnu u.gnu e.gnu s.gnu; do
      same_file <(sed 7d "$WORK/example-linux/$file") <(sed 7d "$CASE/$file") || return 1
    done
}
check "real clock: the outputs as the Linux build's apart from the date and time" apart_from_labels

# ---- 2. a read failure: a missing value, answered No ------------------------
CASE=$WORK/read-failure
make_case "$CASE"
head -9 "$ROOT/examples/dados.ent" >"$CASE/dados.ent"
start read "$CASE" "$EXE"
if box=$(window "run-time error " dialog 90); then
  pass "read failure: the box \"run-time error \" appears"
  frame=$(window ZANDOVIR frame 5)
  check "read failure: the box is owned by the frame" owned_by "$box" "$frame"
  check "read failure: the box shows F6501 with kind READ" \
    box_text_shown read "F6501: READ() - end of file dados.ent reached during a read"
  press "$box" Return
  if prompt=$(window zandovir dialog 30); then
    pass "read failure: the exit prompt \"zandovir\" appears"
    check "read failure: the prompt is owned by the frame" owned_by "$prompt" "$frame"
    check "read failure: the prompt's text" \
      box_text_shown read 'Program Terminated with exit code 1\nExit Window?'
    press "$prompt" Return  # the default button is No
    check "read failure: after No the frame stays open and the run waits" still_running read 2
    check "read failure: the frame is still there" eval 'window ZANDOVIR frame 2 >/dev/null'
    close_frame "$frame"
  else
    fail "read failure: the exit prompt \"zandovir\" appears"
  fi
else
  fail "read failure: the box \"run-time error \" appears"
fi
check "read failure: exit status 1 once the frame is closed" exits_with read 30 1
check "read failure: no report written" no_file "$CASE/saida.txt"
check "read failure: no table written" no_file "$CASE/T.dat"
check "read failure: dados.ent unchanged" same_file <(head -9 "$ROOT/examples/dados.ent") "$CASE/dados.ent"
check "read failure: T.gnu unchanged" same_file "$ROOT/examples/T.gnu" "$CASE/T.gnu"
check "read failure: only the editor was launched" launches_are "$CASE/launches.log" "notepad dados.ent"

# ---- 3. an arithmetic failure: nodeCount 1, answered Yes ----------------------
CASE=$WORK/math-failure
make_case "$CASE"
sed -i '1s/^21 /1  /' "$CASE/dados.ent"
linux_reference "$CASE" "$WORK/math-failure-linux"
start math "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
if box=$(window "run-time error " dialog 90); then
  pass "arithmetic failure: the box appears"
  check "arithmetic failure: the box shows M6103, divide by zero, on two lines" \
    box_text_shown math 'M6103: MATH\r\n- floating-point error: divide by zero'
  press "$box" Return
  if prompt=$(window zandovir_fixed_clock dialog 30); then
    pass "arithmetic failure: the exit prompt appears"
    press "$prompt" y
    check "arithmetic failure: Yes closes the frame" gone ZANDOVIR frame 10
  else
    fail "arithmetic failure: the exit prompt appears"
  fi
else
  fail "arithmetic failure: the box appears"
fi
check "arithmetic failure: exit status 1" exits_with math 30 1
check "arithmetic failure: the report's header as the Linux build's" \
  same_file "$WORK/math-failure-linux/saida.txt" "$CASE/saida.txt"
check "arithmetic failure: no table written" no_file "$CASE/T.dat"

# ---- 4. the exit modes ------------------------------------------------------
PROBE=$WORK/probe
mkdir -p "$PROBE"
probe_says() { [ "$(tr -d '\r' <"$PROBE/probe.txt" 2>/dev/null)" = "$1" ]; }

start mode2 "$PROBE" "$PROBE_EXE" mode 2
check "mode 2: closes at once with exit code 0" exits_with mode2 60 0
check "mode 2: accepted" probe_says accepted

start mode3 "$PROBE" "$PROBE_EXE" mode 3
if frame=$(window zandovir_shell_probe frame 60); then
  pass "mode 3: the frame's caption is the program's base name"
  check "mode 3: the frame stays open" still_running mode3 3
  check "mode 3: no prompt" gone zandovir_shell_probe dialog 1
  close_frame "$frame"
else
  fail "mode 3: the frame's caption is the program's base name"
fi
check "mode 3: exit code 0 once the user closed the frame" exits_with mode3 30 0

start mode1 "$PROBE" "$PROBE_EXE" mode 1
if prompt=$(window zandovir_shell_probe dialog 60); then
  pass "mode 1: the shell asks before closing"
  check "mode 1: the prompt's text" box_text_shown mode1 'Program Terminated with exit code 0\nExit Window?'
  press "$prompt" y
else
  fail "mode 1: the shell asks before closing"
fi
check "mode 1: Yes closes with exit code 0" exits_with mode1 30 0

start mode7 "$PROBE" "$PROBE_EXE" mode 7
if prompt=$(window zandovir_shell_probe dialog 60); then
  pass "mode 7: refused, the shell still asks"
  press "$prompt" Return
  check "mode 7: after No the frame stays open" still_running mode7 2
  frame=$(window zandovir_shell_probe frame 5) && close_frame "$frame"
else
  fail "mode 7: refused, the shell still asks"
fi
check "mode 7: exit code 0 once the user closed the frame" exits_with mode7 30 0
check "mode 7: the request was refused" probe_says refused

# ---- 5. the arithmetic traps --------------------------------------------------
for row in "divide M6103 1" "invalid M6101 1" "overflow M6104 1" "sqrt M6108 1" "pow M6203 1" \
           "underflow 'no trap 0' 0"; do
  eval "set -- $row"
  rm -f "$PROBE/probe.txt"
  start "trap-$1" "$PROBE" "$PROBE_EXE" trap "$1"
  check "trap $1: exit code $3" exits_with "trap-$1" 60 "$3"
  check "trap $1: reported as $2" probe_says "$2"
done

# ---- 6. an open refused: a directory where a table goes ------------------------
CASE=$WORK/open-failure
make_case "$CASE"
mkdir "$CASE/T.dat"
start open "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
if box=$(window "run-time error " dialog 90); then
  pass "open failure: the box appears"
  check "open failure: a directory opened as a file is refused as access, F6414" \
    box_text_shown open "F6414: OPEN() - cannot open file T.dat: access refused"
  press "$box" Return
  prompt=$(window zandovir_fixed_clock dialog 30) && press "$prompt" y
else
  fail "open failure: the box appears"
fi
check "open failure: exit status 1" exits_with open 30 1
# What the report holds is the start of the full report: its header, written out
# by the exit sequence.
report_is_start_of() {
  local size
  size=$(stat -c %s "$2" 2>/dev/null) && [ "$size" -gt 0 ] && cmp -s -n "$size" "$1" "$2"
}
check "open failure: the report holds its header, written out at exit" \
  report_is_start_of "$WORK/example-linux/saida.txt" "$CASE/saida.txt"

# ---- 7. the interpreter without COMSPEC, and with a COMSPEC that names nothing ---
# Wine builds the environment from the registry, so COMSPEC is changed there.
ENVIRONMENT='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
for variant in unset missing; do
  if [ $variant = unset ]; then
    timeout 60 wine reg delete "$ENVIRONMENT" /v ComSpec /f >/dev/null 2>&1
  else
    timeout 60 wine reg add "$ENVIRONMENT" /v ComSpec /d 'C:\nowhere\cmd.exe' /f >/dev/null 2>&1
  fi
  CASE=$WORK/comspec-$variant
  make_case "$CASE"
  start "comspec-$variant" "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
  check "COMSPEC $variant: exit code 0" exits_with "comspec-$variant" 120 0
  check "COMSPEC $variant: cmd.exe from PATH runs the six launches" \
    launches_are "$CASE/launches.log" "$SIX_LAUNCHES"
  check "COMSPEC $variant: the report as the Linux build's" \
    same_file "$WORK/example-linux/saida.txt" "$CASE/saida.txt"
done

# ---- 8. files held by another program -------------------------------------------
# hold NAME DIR FILE deny|share: the probe keeps FILE open; waits until it does.
hold() {
  rm -f "$2/held.flag" "$2/release.flag"
  start "$1" "$2" "$PROBE_EXE" hold "$3" "$4"
  local end=$((SECONDS + 60))
  while [ $SECONDS -lt $end ]; do
    [ -e "$2/held.flag" ] && return 0
    sleep 0.3
  done
  return 1
}
CASE=$WORK/held-shared
make_case "$CASE"
if hold holder-share "$CASE" dados.ent share; then
  start held-shared "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
  check "dados.ent held open with sharing by another program: exit code 0" exits_with held-shared 120 0
  check "dados.ent held open with sharing: the report as the Linux build's" \
    same_file "$WORK/example-linux/saida.txt" "$CASE/saida.txt"
  touch "$CASE/release.flag"
  check "the sharing holder ends" exits_with holder-share 30 0
else
  fail "another program holds dados.ent with sharing"
fi

CASE=$WORK/held-exclusive
make_case "$CASE"
: >"$CASE/saida.txt"
if hold holder-deny "$CASE" saida.txt deny; then
  start held "$CASE" "$FIXED_EXE" "${CLOCK[@]}"
  if box=$(window "run-time error " dialog 90); then
    check "saida.txt held with no sharing: F6414" \
      box_text_shown held "F6414: OPEN() - cannot open file saida.txt: access refused"
    press "$box" Return
    prompt=$(window zandovir_fixed_clock dialog 30) && press "$prompt" y
  else
    fail "saida.txt held with no sharing: the box appears"
  fi
  check "saida.txt held with no sharing: exit status 1" exits_with held 30 1
  touch "$CASE/release.flag"
  check "the exclusive holder ends" exits_with holder-deny 30 0
  check "saida.txt held with no sharing: left as it was" eval '[ ! -s "$CASE/saida.txt" ]'
else
  fail "another program holds saida.txt with no sharing"
fi

finish
