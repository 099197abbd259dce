#pragma once

#include <functional>

#include "render/canvas.h"

typedef struct _cairo_surface cairo_surface_t;

// Receives the finished back buffer when the canvas is presented, for
// example to copy it into the window's drawing area.
using CairoPresenter = std::function<void(cairo_surface_t* backBuffer)>;

// The canvas of the real window: a cairo image surface as the back buffer,
// text through Pango in IPAGothic, figures without antialiasing.
class CairoCanvas : public Canvas {
 public:
  virtual void SetPresenter(CairoPresenter presenter) = 0;
  // The back buffer, owned by the canvas and valid until Release.
  virtual cairo_surface_t* GetSurface() = 0;
  // Writes the back buffer as a PNG file: 1 on success, 0 on failure.
  virtual int WritePng(const char* path) = 0;
};

// A canvas of width x height pixels, or null when it cannot be created.
CairoCanvas* CreateCairoCanvas(int width, int height, CairoPresenter presenter = nullptr);
