#pragma once

#include <functional>

#include "render/canvas.h"

typedef struct _cairo_surface cairo_surface_t;

// Receives the finished back buffer when the canvas is presented, for
// example to copy it into the window's drawing area.
using CairoPresenter = std::function<void(cairo_surface_t* backBuffer)>;

// The canvas of the real window: a cairo image surface as the back buffer,
// text through Pango in IPAGothic, figures without antialiasing. Drawn at a
// scale (device pixels per pixel of the layout: 2 on a display of double
// density), it keeps the layout of width x height pixels and gains detail.
class CairoCanvas : public Canvas {
 public:
  virtual void SetPresenter(CairoPresenter presenter) = 0;
  // The back buffer, owned by the canvas and valid until Release or the
  // next SetScale; its device scale is the canvas's.
  virtual cairo_surface_t* GetSurface() = 0;
  virtual int GetScale() const = 0;
  // Replaces the back buffer with one of another scale (1 or more), which
  // shows the old picture until the next frame is drawn: 1 on success, 0
  // (the old buffer kept) on failure.
  virtual int SetScale(int scale) = 0;
  // Writes the back buffer as a PNG file: 1 on success, 0 on failure.
  virtual int WritePng(const char* path) = 0;
};

// A canvas of width x height pixels at the scale (see CairoCanvas), or null
// when it cannot be created.
CairoCanvas* CreateCairoCanvas(int width, int height, int scale = 1);
