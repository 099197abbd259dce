#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "demo/snapshot_picture.h"
#include "platform/replace_file.h"
#include "render/canvas_gdi.h"

namespace {

void PutLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 24-bit BMP file: the two headers, then the rows from the bottom up, each
// padded to a multiple of four bytes.
std::vector<uint8_t> BmpFile(const uint32_t* pixels, int width, int height) {
  const uint32_t rowSize = (3 * width + 3) / 4 * 4;
  const uint32_t headers = 14 + 40;
  std::vector<uint8_t> bytes = {'B', 'M'};
  PutLittleEndian(bytes, headers + rowSize * height, 4);
  PutLittleEndian(bytes, 0, 4);
  PutLittleEndian(bytes, headers, 4);
  PutLittleEndian(bytes, 40, 4);
  PutLittleEndian(bytes, width, 4);
  PutLittleEndian(bytes, height, 4);
  PutLittleEndian(bytes, 1, 2);   // planes
  PutLittleEndian(bytes, 24, 2);  // bits per pixel
  for (int i = 0; i < 6; ++i)
    PutLittleEndian(bytes, 0, 4);  // no compression, default resolution and palette
  for (int y = height - 1; y >= 0; --y) {
    const uint32_t* row = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x)
      PutLittleEndian(bytes, row[x], 3);  // blue, green, red
    bytes.resize(bytes.size() + rowSize - 3 * width, 0);
  }
  return bytes;
}

class GdiSnapshot : public SnapshotPicture {
 public:
  explicit GdiSnapshot(GdiCanvas* canvas) : canvas(canvas) {}
  ~GdiSnapshot() override { canvas->Release(); }
  Canvas* GetCanvas() override { return canvas; }
  int Write(const char* path) override {
    const std::vector<uint8_t> bytes = BmpFile(canvas->Pixels(), canvas->Width(), canvas->Height());
    return ReplaceFileContents(path, std::string(bytes.begin(), bytes.end()));
  }
  void Release() override { delete this; }

 private:
  GdiCanvas* canvas;
};

}  // namespace

SnapshotPicture* CreateSnapshotPicture(int width, int height) {
  GdiCanvas* canvas = CreateGdiCanvas(width, height);
  if (!canvas)
    return nullptr;
  auto* picture = new (std::nothrow) GdiSnapshot(canvas);
  if (!picture)
    canvas->Release();
  return picture;
}
