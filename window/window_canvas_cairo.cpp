#include "render/canvas_cairo.h"
#include "window/message_loop.h"
#include "window/message_loop_gtk.h"
#include "window/window.h"
#include "window/window_canvas.h"

namespace {

// The window keeps its own reference to the back buffer, so the picture
// stays valid for redraws between frames.
void FollowClientScale(ktWindow& window, CairoCanvas* canvas) {
  if (canvas->SetScale(ClientScale(window.GetHandle()))) {
    SetClientSurface(window.GetHandle(), canvas->GetSurface());
  }
}

}  // namespace

// The picture is drawn at the client area's scale factor, so it is as sharp
// as the display; a window that moves to a display of another density gets
// a back buffer of that density after the frame it moved in.
Canvas* CreateWindowCanvas(ktWindow& window, int width, int height,
                           const std::function<void()>& firstPresent) {
  CairoCanvas* canvas = CreateCairoCanvas(width, height);
  if (canvas == nullptr) {
    return nullptr;
  }
  FollowClientScale(window, canvas);
  canvas->SetPresenter(
      [&window, &firstPresent, canvas, presented = false](cairo_surface_t*) mutable {
        InvalidateClient(window.GetHandle());
        if (canvas->GetScale() != ClientScale(window.GetHandle())) {
          FollowClientScale(window, canvas);
        }
        if (!presented) {
          presented = true;
          if (firstPresent) {
            firstPresent();
          }
        }
      });
  return canvas;
}
