# A mocked BlueZ for desktop tests; source this file.
#   mock_bluez_start WORKDIR  starts a private bus with BlueZ's mock on it,
#                             one adapter hci0 and no devices, and exports
#                             DBUS_SYSTEM_BUS_ADDRESS for the programs started
#                             afterwards
#   mock_bluez_stop           stops both
# The system's Python is used: it is the one that has python3-dbusmock.

mock_bluez_daemon_pid=""
mock_bluez_pid=""

mock_bluez_start() {
  local work=$1
  dbus-daemon --session --nofork --print-address >"$work/bus-address" 2>/dev/null &
  mock_bluez_daemon_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/bus-address" ] && break
    sleep 0.05
  done
  if [ ! -s "$work/bus-address" ]; then
    echo "mock_bluez_start: no dbus-daemon" >&2
    return 1
  fi
  export DBUS_SYSTEM_BUS_ADDRESS
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$work/bus-address")
  /usr/bin/python3 -m dbusmock --system --template bluez5 >/dev/null 2>&1 &
  mock_bluez_pid=$!
  # Adding the adapter also proves that the mock is up.
  /usr/bin/python3 - <<'PY'
import os, sys, time
import dbus
bus = dbus.bus.BusConnection(os.environ["DBUS_SYSTEM_BUS_ADDRESS"])
deadline = time.time() + 20
while True:
    try:
        bus.get_object("org.bluez", "/").AddAdapter(
            "hci0", "gravimo-test", dbus_interface="org.bluez.Mock")
        break
    except dbus.exceptions.DBusException as error:
        if time.time() > deadline:
            sys.exit("mock_bluez_start: %s" % error)
        time.sleep(0.1)
PY
}

mock_bluez_stop() {
  local pid
  for pid in "$mock_bluez_pid" "$mock_bluez_daemon_pid"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    fi
  done
  mock_bluez_pid=""
  mock_bluez_daemon_pid=""
}
