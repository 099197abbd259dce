# Helpers for desktop tests under run-under-xvfb; source this file.
# Every helper prints a reason to standard error and returns non-zero when
# it fails, so a test can use them with `|| fail`.

GUI_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# gui_find_window NAME [SECONDS]: prints the id of the first visible window
# whose name matches NAME, waiting up to SECONDS (default 30) for it.
gui_find_window() {
  local name=$1 seconds=${2:-30} id
  local tries=$((seconds * 10))
  for _ in $(seq "$tries"); do
    id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "gui_find_window: no window named '$name' after ${seconds}s" >&2
  return 1
}

# gui_window_of PID NAME: prints the id of a visible window of the process
# whose name is exactly NAME (xdotool's own name search does not match
# text beyond ASCII in the C locale).
gui_window_of() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$2" ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# eventually SECONDS COMMAND...: retries COMMAND until it succeeds, about
# SECONDS long (counted in tries, so a slow COMMAND gets more time), and
# shows the last try's complaint.
eventually() {
  local tries=$(($1 * 5))
  shift
  for _ in $(seq "$tries"); do
    "$@" 2>/dev/null && return 0
    sleep 0.2
  done
  "$@"
}

# gui_window_size WINDOW: prints "WIDTH HEIGHT" of the window.
gui_window_size() {
  xwininfo -id "$1" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w, h}'
}

# gui_focus WINDOW: gives the window the keyboard focus (there is no window
# manager to do it) and puts the pointer on it.
gui_focus() {
  xdotool mousemove --window "$1" 1 1 && xdotool windowfocus "$1" && sleep 0.1
}

# gui_keys KEY...: types the keys (xdotool key names), one after another,
# into the window that has the focus (see gui_focus).
gui_keys() {
  local key
  for key in "$@"; do
    xdotool key "$key" || return 1
    sleep 0.15
  done
}

# gui_click WINDOW X Y: clicks the left button at (X, Y) of the window.
gui_click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# gui_close WINDOW: asks the window to close, as its close box would.
gui_close() {
  "${GUI_CLOSE_WINDOW:?GUI_CLOSE_WINDOW names the close-window helper}" "$1"
}

# gui_screenshot WINDOW FILE: saves a picture of the window.
gui_screenshot() {
  import -window "$1" "$2"
}

# gui_compare_region SHOT GEOMETRY REFERENCE [FUZZ] [MAX_PIXELS]: compares
# the region GEOMETRY (WxH+X+Y) of the picture SHOT with the picture
# REFERENCE. Colours within FUZZ (default 10%) count as equal; succeeds when
# at most MAX_PIXELS (default 0) pixels differ.
gui_compare_region() {
  local shot=$1 geometry=$2 reference=$3 fuzz=${4:-10%} max=${5:-0}
  local region
  region=$(mktemp --suffix=.png)
  convert "$shot" -crop "$geometry" +repage "$region" || return 1
  local differing
  differing=$(compare -metric AE -fuzz "$fuzz" "$region" "$reference" null: 2>&1)
  rm -f "$region"
  if ! [[ "$differing" =~ ^[0-9]+$ ]]; then
    echo "gui_compare_region: $geometry of $shot: $differing" >&2
    return 1
  fi
  if [ "$differing" -gt "$max" ]; then
    echo "gui_compare_region: $differing pixels of $geometry differ (at most $max allowed)" >&2
    return 1
  fi
}

# gui_wait_for_line FILE PATTERN [SECONDS]: waits until a line of FILE
# matches the extended regular expression PATTERN, for up to SECONDS
# (default 30): a bound for a failure, never a pace to rely on.
gui_wait_for_line() {
  local file=$1 pattern=$2 seconds=${3:-30}
  local tries=$((seconds * 20))
  for _ in $(seq "$tries"); do
    grep -Eq "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "gui_wait_for_line: no line /$pattern/ in $file after ${seconds}s" >&2
  return 1
}

# gui_check NAME COMMAND...: runs one check, says "ok" or "FAILED" with its
# name, and counts the failures in gui_failed.
gui_failed=0
gui_check() {
  local name=$1
  shift
  if "$@"; then
    echo "ok: $name"
  else
    echo "FAILED: $name"
    gui_failed=$((gui_failed + 1))
  fi
}
