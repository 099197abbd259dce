// gravimo-snapshot [--text-boxes] STATE OUTPUT [STATE OUTPUT ...]: draws one frame
// of each named screen state in the locale's language with the window's real
// canvas and writes it as a picture file (PNG on Linux, BMP on Windows). With
// --text-boxes, OUTPUT.boxes names the texts and slanted edges of the frame,
// so that a comparison of pictures can tell them from the rest.

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "demo/snapshot_picture.h"
#include "platform/process.h"
#include "platform/replace_file.h"
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

// One line per text ("text LEFT TOP RIGHT BOTTOM", its cell area) and per
// slanted edge of a figure ("slant X0 Y0 X1 Y1"): the parts of a picture
// where another rasteriser may put its pixels differently.
void AddLine(std::string& lines, const char* kind, int a, int b, int c, int d) {
  char line[64];
  std::snprintf(line, sizeof line, "%s %d %d %d %d\n", kind, a, b, c, d);
  lines += line;
}

void AddBoxes(std::string& lines, const CanvasOp& op) {
  if (op.kind == CanvasOp::DrawText) {
    const CanvasSize cells = op.TextCells();
    AddLine(lines, "text", op.x, op.y, op.x + cells.width, op.y + cells.height);
    return;
  }
  if (op.kind != CanvasOp::Polygon && op.kind != CanvasOp::Polyline)
    return;
  const size_t count = op.points.size();
  const size_t edges = op.kind == CanvasOp::Polygon ? count : count - 1;
  for (size_t i = 0; count > 1 && i < edges; ++i) {
    const CanvasPoint a = op.points[i];
    const CanvasPoint b = op.points[(i + 1) % count];
    if (a.x != b.x && a.y != b.y)
      AddLine(lines, "slant", a.x, a.y, b.x, b.y);
  }
}

int WriteBoxes(const char* state, const std::string& path) {
  AppWindow window(nullptr);
  RecordingCanvas* canvas = CreateRecordingCanvas();
  window.canvas = canvas;
  PrepareScreenState(window, state);
  window.RenderFrame();
  window.canvas = nullptr;
  std::string lines;
  for (const CanvasOp& op : canvas->Ops())
    AddBoxes(lines, op);
  canvas->Release();
  const bool written = ReplaceFileContents(path, lines);
  if (!written)
    std::fprintf(stderr, "gravimo-snapshot: cannot write %s\n", path.c_str());
  return written ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  const int count = static_cast<int>(arguments.size());
  int first = 1;
  const bool boxes = count > 1 && arguments[1] == "--text-boxes";
  if (boxes)
    ++first;
  if (count - first < 2 || (count - first) % 2 != 0) {
    PrintUsage();
    return 2;
  }
  InitTranslations();
  for (int i = first; i < count; i += 2) {
    const char* state = arguments[i].c_str();
    const int result = WritePicture(state, arguments[i + 1].c_str());
    if (result == 2)
      PrintUsage();
    if (result != 1)
      return result == 2 ? 2 : 1;
    if (boxes && !WriteBoxes(state, arguments[i + 1] + ".boxes"))
      return 1;
  }
  return 0;
}
