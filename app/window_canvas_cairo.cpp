#include "app/app_window.h"
#include "app/message_loop.h"
#include "app/message_loop_gtk.h"
#include "app/window_canvas.h"
#include "render/canvas_cairo.h"

Canvas* CreateWindowCanvas(AppWindow& window) {
  CairoCanvas* canvas = CreateCairoCanvas(window.W, window.H);
  if (canvas == nullptr) {
    return nullptr;
  }
  // The window keeps its own reference to the back buffer, so the picture
  // stays valid for redraws between frames.
  SetClientSurface(window.GetHandle(), canvas->GetSurface());
  canvas->SetPresenter([&window, presented = false](cairo_surface_t*) mutable {
    InvalidateClient(window.GetHandle());
    if (!presented) {
      presented = true;
      if (window.firstPresent) {
        window.firstPresent();
      }
    }
  });
  return canvas;
}
