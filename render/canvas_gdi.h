#pragma once

#include <cstdint>
#include <functional>

#include "render/canvas.h"

// The handle type of <windows.h>, declared here so that this header does not
// pull in the Windows headers (whose DrawText macro renames Canvas::DrawText).
struct HDC__;

class GdiCanvas;

// Receives the finished picture when the canvas is presented, for example to
// copy its memory DC into the window with BitBlt.
using GdiPresenter = std::function<void(GdiCanvas& canvas)>;

// The canvas of the Windows window: a memory DC holding a top-down 32-bit
// DIB section, GDI brushes and pens, text through DrawTextW in IPAGothic.
class GdiCanvas : public Canvas {
 public:
  virtual void SetPresenter(GdiPresenter presenter) = 0;
  // The memory DC with the picture selected, owned by the canvas and valid
  // until Release.
  virtual HDC__* GetDC() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The picture's pixels, row by row from the top, each 0x00RRGGBB; pending
  // GDI drawing is finished first. Valid until Release.
  virtual const uint32_t* Pixels() = 0;
};

// A canvas of width x height pixels, or null when it cannot be created.
GdiCanvas* CreateGdiCanvas(int width, int height, GdiPresenter presenter = nullptr);

// 1 when the screen font was loaded for this process from the file
// ipag.ttf beside the program, 0 when the system's Japanese face stands in.
int LoadsScreenFontFile();

// The face the picture's text is drawn in (UTF-16): the screen font when it
// was loaded, the system's Japanese face otherwise. Other windows of the
// program, its dialogs, use it too, so Japanese shows where the system has
// no face for it.
const wchar_t* ScreenFontFamily();
