#include <new>

#include "demo/snapshot_picture.h"
#include "render/canvas_cairo.h"

namespace {

class CairoSnapshot : public SnapshotPicture {
 public:
  explicit CairoSnapshot(CairoCanvas* canvas) : canvas(canvas) {}
  ~CairoSnapshot() override { canvas->Release(); }
  Canvas* GetCanvas() override { return canvas; }
  int Write(const char* path) override { return canvas->WritePng(path); }
  void Release() override { delete this; }

 private:
  CairoCanvas* canvas;
};

}  // namespace

SnapshotPicture* CreateSnapshotPicture(int width, int height) {
  CairoCanvas* canvas = CreateCairoCanvas(width, height);
  if (!canvas)
    return nullptr;
  auto* picture = new (std::nothrow) CairoSnapshot(canvas);
  if (!picture)
    canvas->Release();
  return picture;
}
