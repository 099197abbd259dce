#pragma once

class AppWindow;
class Canvas;

// The back buffer of the window's client area: each Present shows it in the
// client area, and the first also calls the window's firstPresent. Works
// without a window as well (nothing is shown then). Null when the picture
// cannot be created.
Canvas* CreateWindowCanvas(AppWindow& window);
