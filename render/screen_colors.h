#pragma once

#include "render/canvas.h"

// The text colours every screen shares, so the chart and the main screen
// look like one program.
inline constexpr CanvasColor kDarkText{20, 20, 20};
inline constexpr CanvasColor kGreyText{160, 160, 153};
inline constexpr CanvasColor kNoticeColor{20, 20, 220};
