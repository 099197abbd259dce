#pragma once

#include <functional>

class Canvas;
class ktWindow;

// The back buffer of the window's client area, width x height: each Present
// shows it in the client area, and the first also calls firstPresent (read
// at that moment, so its owner may set it later). Works without a window as
// well (nothing is shown then). Null when the picture cannot be created.
Canvas* CreateWindowCanvas(ktWindow& window, int width, int height,
                           const std::function<void()>& firstPresent);
