// gravimo-snapshot STATE OUTPUT.png: draws one frame of a named screen state
// in the locale's language with the window's real canvas and writes it as a
// PNG file.

#include <cstdio>
#include <cstring>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "render/canvas_cairo.h"
#include "resources/tr.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr, "usage: gravimo-snapshot STATE OUTPUT.png\nstates:");
  for (const char* state : kScreenStates)
    std::fprintf(stderr, " %s", state);
  std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    PrintUsage();
    return 2;
  }
  InitTranslations();
  AppWindow window(nullptr);
  CairoCanvas* canvas = CreateCairoCanvas(window.W, window.H);
  if (!canvas) {
    std::fprintf(stderr, "gravimo-snapshot: cannot create the picture\n");
    return 1;
  }
  window.canvas = canvas;
  if (!PrepareScreenState(window, argv[1])) {
    PrintUsage();
    return 2;
  }
  window.RenderFrame();
  if (!canvas->WritePng(argv[2])) {
    std::fprintf(stderr, "gravimo-snapshot: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
