#include "render/canvas_cairo.h"
#include "window/message_loop.h"
#include "window/message_loop_gtk.h"
#include "window/window.h"
#include "window/window_canvas.h"

Canvas* CreateWindowCanvas(ktWindow& window, int width, int height,
                           const std::function<void()>& firstPresent) {
  CairoCanvas* canvas = CreateCairoCanvas(width, height);
  if (canvas == nullptr) {
    return nullptr;
  }
  // The window keeps its own reference to the back buffer, so the picture
  // stays valid for redraws between frames.
  SetClientSurface(window.GetHandle(), canvas->GetSurface());
  canvas->SetPresenter([&window, &firstPresent, presented = false](cairo_surface_t*) mutable {
    InvalidateClient(window.GetHandle());
    if (!presented) {
      presented = true;
      if (firstPresent) {
        firstPresent();
      }
    }
  });
  return canvas;
}
