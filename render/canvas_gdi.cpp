#include "render/canvas_gdi.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "support/trace.h"
#include "support/wide_text.h"

// <windows.h> maps DrawText to DrawTextA or DrawTextW; the canvas's own
// method keeps its name.
#undef DrawText

namespace {

constexpr const wchar_t* kFontFamily = L"IPAGothic";
constexpr const wchar_t* kFontFile = L"ipag.ttf";
// Stands in when the font file is missing; Windows maps it to its Japanese
// face of the fixed pitch.
constexpr const wchar_t* kFallbackFamily = L"MS Gothic";
// The three fonts by their character height in pixels (the font is
// fixed-pitch with half-width characters half an em wide, so these give
// cells of 6, 12 and 48 pixels), with the baseline below the cell's top and
// the spacing of lines: the font's ascender (0.88 em) and its line box
// rounded up to whole pixels, where the Pango canvas puts them too.
struct FontCell {
  int height;
  int baseline;
  int lineStep;
};
constexpr FontCell kCells[3] = {{12, 11, 13}, {24, 22, 25}, {96, 85, 97}};

constexpr CanvasColor kBrushColors[2] = {{240, 240, 230}, {255, 255, 255}};
constexpr int kPenCount = kCanvasPenCount;

COLORREF ToColorRef(CanvasColor c) {
  return RGB(c.r, c.g, c.b);
}

// Loads the screen font for this process only, so that the picture looks the
// same whatever fonts the machine has; once per process.
bool LoadFontFile() {
  static const bool loaded = [] {
    const std::wstring path = ProgramFolder() + kFontFile;
    if (AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr) > 0)
      return true;
    DebugPrint("font ERROR: ipag.ttf not found beside the program, using the system's face");
    return false;
  }();
  return loaded;
}

class GdiCanvasImp : public GdiCanvas {
 public:
  GdiCanvasImp(int width, int height, GdiPresenter presenter)
      : presenter(std::move(presenter)), width(width), height(height) {
    dc = CreateCompatibleDC(nullptr);
    if (!dc)
      return;
    CreatePicture();
    CreateTools();
    SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, ToColorRef(textColor));
    SetBkColor(dc, ToColorRef(backgroundColor));
    SelectFont(CanvasFont::Small);
    SelectBrush(CanvasBrush::Needle);
    SelectPen(CanvasPen::Outline);
  }

  ~GdiCanvasImp() override {
    if (dc && original)
      RestoreDC(dc, original);
    for (HFONT& font : fonts)
      DeleteGdi(font);
    for (HBRUSH& brush : brushes)
      DeleteGdi(brush);
    for (HPEN& pen : pens)
      DeleteGdi(pen);
    DeleteGdi(bitmap);
    if (dc)
      DeleteDC(dc);
  }

  bool IsUsable() const {
    if (!dc || !bitmap || !bits || !original)
      return false;
    for (HFONT font : fonts) {
      if (!font)
        return false;
    }
    for (HBRUSH brush : brushes) {
      if (!brush)
        return false;
    }
    for (HPEN pen : pens) {
      if (!pen)
        return false;
    }
    return true;
  }

  void FillRect(int left, int top, int right, int bottom, CanvasBrush brush) override {
    if (right <= left || bottom <= top)
      return;
    const RECT rect{left, top, right, bottom};
    ::FillRect(dc, &rect, brushes[static_cast<int>(brush)]);
  }
  void SetTextColor(CanvasColor color) override {
    textColor = color;
    ::SetTextColor(dc, ToColorRef(color));
  }
  void SetBackgroundColor(CanvasColor color) override {
    backgroundColor = color;
    SetBkColor(dc, ToColorRef(color));
  }
  void SelectFont(CanvasFont font) override {
    selectedFont = font;
    SelectObject(dc, fonts[static_cast<int>(font)]);
  }
  void SelectBrush(CanvasBrush brush) override {
    SelectObject(dc, brushes[static_cast<int>(brush)]);
  }
  void SelectPen(CanvasPen pen) override { SelectObject(dc, pens[static_cast<int>(pen)]); }

  // The cell area is painted opaque by the canvas itself, as wide as the
  // longest line and one cell high per line: GDI's own opaque box would be
  // the font's line box, which is taller than the cell. The glyphs then go
  // over it line by line.
  void DrawText(int x, int y, const char* text) override {
    const std::wstring wide = WideText(text);
    const FontCell& cell = kCells[static_cast<int>(selectedFont)];
    std::vector<std::wstring_view> lines;
    int widest = 0;
    for (size_t start = 0; start <= wide.size();) {
      const size_t end = std::min(wide.find(L'\n', start), wide.size());
      lines.emplace_back(wide.data() + start, end - start);
      widest = std::max(widest, LineWidth(lines.back()));
      start = end + 1;
    }
    FillSolid(x, y, widest, static_cast<int>(lines.size()) * cell.height, backgroundColor);
    SetBkMode(dc, TRANSPARENT);
    const int top = y + cell.baseline - ascent[static_cast<int>(selectedFont)];
    for (size_t i = 0; i < lines.size(); ++i) {
      const int lineTop = top + static_cast<int>(i) * cell.lineStep;
      RECT rect{x, lineTop, x, lineTop};
      DrawTextW(dc, lines[i].data(), static_cast<int>(lines[i].size()), &rect,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
    }
    SetBkMode(dc, OPAQUE);
  }

  void FillWhite(int x, int y, int w, int h) override {
    if (w <= 0 || h <= 0)
      return;
    FillSolid(x, y, w, h, {255, 255, 255});
  }

  void Polygon(const CanvasPoint* points, int count) override {
    if (count < 2)
      return;
    ::Polygon(dc, ToPoints(points, count), count);
  }

  void Polyline(const CanvasPoint* points, int count) override {
    if (count < 2)
      return;
    ::Polyline(dc, ToPoints(points, count), count);
  }

  void Present() override {
    GdiFlush();
    if (presenter)
      presenter(*this);
  }

  void Release() override { delete this; }

  void SetPresenter(GdiPresenter newPresenter) override { presenter = std::move(newPresenter); }
  HDC__* GetDC() override { return dc; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  const uint32_t* Pixels() override {
    GdiFlush();
    return bits;
  }

 private:
  template <typename Handle>
  static void DeleteGdi(Handle& handle) {
    if (handle)
      DeleteObject(handle);
    handle = nullptr;
  }

  void CreatePicture() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap)
      return;
    bits = static_cast<uint32_t*>(pixels);
    original = SaveDC(dc);
    SelectObject(dc, bitmap);
  }

  void CreateTools() {
    const wchar_t* family = ScreenFontFamily();
    for (int i = 0; i < 3; ++i) {
      fonts[i] = CreateFontW(-kCells[i].height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                             ANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, family);
      ascent[i] = Ascent(fonts[i]);
    }
    for (int i = 0; i < 2; ++i)
      brushes[i] = CreateSolidBrush(ToColorRef(kBrushColors[i]));
    for (int i = 0; i < kPenCount; ++i)
      pens[i] = CreatePen(PS_SOLID, 1, ToColorRef(PenColor(static_cast<CanvasPen>(i))));
  }

  int LineWidth(std::wstring_view line) {
    SIZE size{};
    if (line.empty() ||
        !GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &size))
      return 0;
    return size.cx;
  }

  // Where GDI puts the baseline below the top of a line drawn in the font.
  int Ascent(HFONT font) {
    if (!font)
      return 0;
    const HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    const int result = GetTextMetricsW(dc, &metrics) ? metrics.tmAscent : 0;
    SelectObject(dc, previous);
    return result;
  }

  void FillSolid(int x, int y, int w, int h, CanvasColor color) {
    const RECT rect{x, y, x + w, y + h};
    const COLORREF saved = SetBkColor(dc, ToColorRef(color));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, saved);
  }

  POINT* ToPoints(const CanvasPoint* points, int count) {
    path.resize(count);
    for (int i = 0; i < count; ++i)
      path[i] = {points[i].x, points[i].y};
    return path.data();
  }

  GdiPresenter presenter;
  int width;
  int height;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint32_t* bits = nullptr;
  int original = 0;
  HFONT fonts[3] = {};
  int ascent[3] = {};
  HBRUSH brushes[2] = {};
  HPEN pens[kPenCount] = {};
  std::vector<POINT> path;
  CanvasFont selectedFont = CanvasFont::Small;
  CanvasColor textColor{0, 0, 0};
  CanvasColor backgroundColor{255, 255, 255};
};

}  // namespace

GdiCanvas* CreateGdiCanvas(int width, int height, GdiPresenter presenter) {
  if (width <= 0 || height <= 0)
    return nullptr;
  auto* canvas = new (std::nothrow) GdiCanvasImp(width, height, std::move(presenter));
  if (canvas && !canvas->IsUsable()) {
    canvas->Release();
    return nullptr;
  }
  return canvas;
}

const wchar_t* ScreenFontFamily() {
  return LoadFontFile() ? kFontFamily : kFallbackFamily;
}

int LoadsScreenFontFile() {
  return LoadFontFile() ? 1 : 0;
}
