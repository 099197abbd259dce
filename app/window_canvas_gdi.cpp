#include "app/app_window.h"
#include "app/message_loop_win32.h"
#include "app/window_canvas.h"
#include "render/canvas_gdi.h"

Canvas* CreateWindowCanvas(AppWindow& window) {
  // The window copies each picture it is shown, so it never depends on the
  // canvas's lifetime.
  return CreateGdiCanvas(window.W, window.H,
                         [&window, presented = false](GdiCanvas& canvas) mutable {
                           ShowClientPicture(window.GetHandle(), canvas.GetDC());
                           if (!presented) {
                             presented = true;
                             if (window.firstPresent) {
                               window.firstPresent();
                             }
                           }
                         });
}
