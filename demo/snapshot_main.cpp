// gravimo-snapshot [--text-boxes] STATE OUTPUT [STATE OUTPUT ...]: draws one
// frame of each named screen state in the locale's language with the
// window's real canvas and writes it as a picture file (PNG on Linux, BMP on
// Windows). With --text-boxes, OUTPUT.boxes gets the cell area of every text
// of the frame, one "left top right bottom" line each, so that a comparison
// of pictures can tell text from figures.

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "demo/snapshot_picture.h"
#include "render/canvas_recording.h"
#include "resources/tr.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: gravimo-snapshot [--text-boxes] STATE OUTPUT [STATE OUTPUT ...]\nstates:");
  for (const char* state : kScreenStates)
    std::fprintf(stderr, " %s", state);
  std::fprintf(stderr, "\n");
}

// 1 when the frame was drawn and written, 0 when the picture could not be
// made or written, 2 for an unknown state.
int WritePicture(const char* state, const char* path) {
  AppWindow window(nullptr);
  SnapshotPicture* picture = CreateSnapshotPicture(window.W, window.H);
  if (!picture) {
    std::fprintf(stderr, "gravimo-snapshot: cannot create the picture\n");
    return 0;
  }
  window.canvas = picture->GetCanvas();
  int result = 2;
  if (PrepareScreenState(window, state)) {
    window.RenderFrame();
    result = picture->Write(path);
    if (!result)
      std::fprintf(stderr, "gravimo-snapshot: cannot write %s\n", path);
  }
  window.canvas = nullptr;
  picture->Release();
  return result;
}

int WriteTextBoxes(const char* state, const std::string& path) {
  AppWindow window(nullptr);
  RecordingCanvas* canvas = CreateRecordingCanvas();
  window.canvas = canvas;
  PrepareScreenState(window, state);
  window.RenderFrame();
  window.canvas = nullptr;
  FILE* file = std::fopen(path.c_str(), "w");
  bool written = file != nullptr;
  for (const CanvasOp& op : canvas->Ops()) {
    if (file && op.kind == CanvasOp::DrawText) {
      const CanvasSize cells = op.TextCells();
      written &= std::fprintf(file, "%d %d %d %d\n", op.x, op.y, op.x + cells.width,
                              op.y + cells.height) > 0;
    }
  }
  canvas->Release();
  if (file)
    written &= std::fclose(file) == 0;
  if (!written)
    std::fprintf(stderr, "gravimo-snapshot: cannot write %s\n", path.c_str());
  return written ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const bool textBoxes = argc > 1 && std::strcmp(argv[1], "--text-boxes") == 0;
  if (textBoxes)
    ++first;
  if (argc - first < 2 || (argc - first) % 2 != 0) {
    PrintUsage();
    return 2;
  }
  InitTranslations();
  for (int i = first; i < argc; i += 2) {
    const int result = WritePicture(argv[i], argv[i + 1]);
    if (result == 2)
      PrintUsage();
    if (result != 1)
      return result == 2 ? 2 : 1;
    if (textBoxes && !WriteTextBoxes(argv[i], std::string(argv[i + 1]) + ".boxes"))
      return 1;
  }
  return 0;
}
