#pragma once

class AppWindow;

// Named screen states for snapshots: each puts a freshly constructed
// AppWindow (with its canvas) into a state that the next frame draws. The
// boards are stand-ins with fixed readings, so a picture is always the same.
inline constexpr const char* kScreenStates[] = {
    "no-board",          "no-board-refused", "idle-history",     "measuring-on",
    "measuring-off",     "zero-adjust",      "register-pairing", "register-waiting",
    "register-updating", "log-unwritten",    "idle-pounds",      "idle-stones",
    "chart-year",        "chart-empty",      "battery-low",      "register-adapter-off",
    "chart-selected",    "chart-goal",
};

// Prepares the state called name: 1 on success, 0 for an unknown name.
// Replaces the window's device manager with one holding the stand-in board.
int PrepareScreenState(AppWindow& window, const char* name);
