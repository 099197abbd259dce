#include "render/canvas_gdi.h"
#include "window/message_loop_win32.h"
#include "window/window.h"
#include "window/window_canvas.h"

Canvas* CreateWindowCanvas(ktWindow& window, int width, int height,
                           const std::function<void()>& firstPresent) {
  // The window copies each picture it is shown, so it never depends on the
  // canvas's lifetime.
  return CreateGdiCanvas(width, height,
                         [&window, &firstPresent, presented = false](GdiCanvas& canvas) mutable {
                           ShowClientPicture(window.GetHandle(), canvas.GetDC());
                           if (!presented) {
                             presented = true;
                             if (firstPresent) {
                               firstPresent();
                             }
                           }
                         });
}
