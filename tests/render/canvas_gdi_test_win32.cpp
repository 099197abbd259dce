#include <windows.h>
// <windows.h> maps DrawText to DrawTextA or DrawTextW.
#undef DrawText

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "render/canvas_gdi.h"

namespace {

constexpr int kW = 600;
constexpr int kH = 400;
constexpr uint32_t kBackground = 0xF0F0E6;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kOutline = 0x373719;

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

class GdiCanvasTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (canvas)
      canvas->Release();
  }
  void Clear() { canvas->FillRect(0, 0, kW, kH, CanvasBrush::Background); }
  uint32_t At(int x, int y) { return canvas->Pixels()[y * kW + x] & 0xFFFFFF; }
  // The bounding box of the pixels that are not the background colour.
  Box InkBox() {
    Box box;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        if (At(x, y) == kBackground)
          continue;
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
    }
    return box;
  }

  GdiCanvas* canvas = CreateGdiCanvas(kW, kH);
};

const CanvasFont kFonts[] = {CanvasFont::Small, CanvasFont::Medium, CanvasFont::Large};
const int kCellWidth[] = {6, 12, 48};
const int kCellHeight[] = {12, 24, 96};

TEST_F(GdiCanvasTest, TextCellsHaveTheSizesAndPlaceOfTheScreenFonts) {
  ASSERT_NE(canvas, nullptr);
  // Where the ink of "測定" starts and ends below the cell's top on the
  // Pango canvas, for each font: the baseline must sit in the same row.
  const int inkTop[] = {1, 2, 5};
  const int inkBottom[] = {11, 23, 92};
  for (int i = 0; i < 3; ++i) {
    canvas->SelectFont(kFonts[i]);
    Clear();
    canvas->SetBackgroundColor({255, 0, 0});  // the cell area shows in red
    canvas->DrawText(10, 20, "0123");
    const Box cells = InkBox();
    EXPECT_EQ(cells.left, 10) << i;
    EXPECT_EQ(cells.top, 20) << i;
    EXPECT_EQ(cells.Width(), 4 * kCellWidth[i]) << i;
    EXPECT_EQ(cells.Height(), kCellHeight[i]) << i;

    Clear();
    canvas->SetBackgroundColor({240, 240, 230});
    canvas->DrawText(10, 20, "測定");  // full-width: two cells each
    const Box ink = InkBox();
    EXPECT_EQ(ink.top - 20, inkTop[i]) << i;
    EXPECT_EQ(ink.bottom - 20, inkBottom[i]) << i;
    EXPECT_GT(ink.Width(), 3 * kCellWidth[i]) << i;
    EXPECT_LE(ink.right, 10 + 4 * kCellWidth[i]) << i;
  }
}

TEST_F(GdiCanvasTest, LineFeedsStartLinesOneLineBoxApart) {
  ASSERT_NE(canvas, nullptr);
  const int lineStep[] = {13, 25, 97};
  for (int i = 0; i < 3; ++i) {
    canvas->SelectFont(kFonts[i]);
    canvas->SetBackgroundColor({240, 240, 230});
    Clear();
    canvas->DrawText(10, 20, "測");
    const Box one = InkBox();
    Clear();
    canvas->DrawText(10, 20, "測\n測");
    const Box two = InkBox();
    EXPECT_EQ(two.top, one.top) << i;
    EXPECT_EQ(two.bottom, one.bottom + lineStep[i]) << i;
    EXPECT_EQ(two.right, one.right) << i;
    // The cell area covers the longest line, one cell high per line.
    Clear();
    canvas->SetBackgroundColor({255, 0, 0});
    canvas->DrawText(10, 20, "ab\nc\n");
    EXPECT_EQ(At(10 + 2 * kCellWidth[i] - 1, 20 + 3 * kCellHeight[i] - 1), kRed) << i;
    EXPECT_EQ(At(10 + 2 * kCellWidth[i], 20), kBackground) << i;
    EXPECT_EQ(At(10, 20 + 3 * kCellHeight[i]), kBackground) << i;
  }
}

TEST_F(GdiCanvasTest, TextPaintsItsCellBackgroundOverEarlierDrawing) {
  ASSERT_NE(canvas, nullptr);
  Clear();
  canvas->FillWhite(0, 0, 100, 100);
  canvas->SetBackgroundColor({240, 240, 230});
  canvas->SelectFont(CanvasFont::Medium);
  canvas->DrawText(10, 10, "  ");  // blanks: only the cell background
  EXPECT_EQ(At(11, 11), kBackground);
  EXPECT_EQ(At(33, 33), kBackground);
  EXPECT_EQ(At(34, 11), kWhite);
  EXPECT_EQ(At(11, 34), kWhite);
}

TEST_F(GdiCanvasTest, TextIsDrawnInTheTextColourAndBadBytesAsReplacements) {
  ASSERT_NE(canvas, nullptr);
  Clear();
  canvas->SetTextColor({0, 0, 255});
  canvas->SetBackgroundColor({240, 240, 230});
  canvas->SelectFont(CanvasFont::Large);
  canvas->DrawText(0, 0, "体重");
  int blue = 0;
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 192; ++x)
      blue += At(x, y) == 0x0000FF;
  }
  EXPECT_GT(blue, 500);
  Clear();
  canvas->SelectFont(CanvasFont::Small);
  canvas->DrawText(0, 0, "\xff\xfe");
  EXPECT_GT(InkBox().Width(), 0);
}

TEST_F(GdiCanvasTest, FiguresCoverTheSamePixelsAsOnThePangoCanvas) {
  ASSERT_NE(canvas, nullptr);
  Clear();
  const CanvasPoint square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  canvas->SelectBrush(CanvasBrush::Needle);
  canvas->SelectPen(CanvasPen::Outline);
  canvas->Polygon(square, 4);
  Box box = InkBox();
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 10);
  EXPECT_EQ(box.right, 20);  // the outline includes the far corner
  EXPECT_EQ(box.bottom, 20);
  EXPECT_EQ(At(15, 15), kWhite);
  EXPECT_EQ(At(15, 20), kOutline);
  EXPECT_EQ(At(20, 15), kOutline);

  Clear();
  const CanvasPoint tick[] = {{64, 250}, {64, 260}};
  canvas->SelectPen(CanvasPen::User1);
  canvas->Polyline(tick, 2);
  box = InkBox();
  EXPECT_EQ(box.top, 250);
  EXPECT_EQ(box.bottom, 259);  // a line ends before its last point
  EXPECT_EQ(box.Width(), 1);
  EXPECT_EQ(At(64, 255), 0xD64824u);

  // No antialiasing: a slanted needle has only its three colours.
  Clear();
  const CanvasPoint needle[] = {{317, 209}, {309, 196}, {147, 296}, {149, 299}};
  canvas->SelectPen(CanvasPen::Outline);
  canvas->Polygon(needle, 4);
  for (int y = 180; y < 310; ++y) {
    for (int x = 140; x < 330; ++x) {
      const uint32_t p = At(x, y);
      ASSERT_TRUE(p == kBackground || p == kWhite || p == kOutline) << x << "," << y;
    }
  }
  EXPECT_EQ(At(230, 250), kWhite);
}

TEST_F(GdiCanvasTest, EmptyAndInvertedRectanglesDrawNothing) {
  ASSERT_NE(canvas, nullptr);
  Clear();
  canvas->FillWhite(100, 100, -20, 48);
  canvas->FillWhite(100, 100, 0, 48);
  canvas->FillRect(50, 50, 40, 60, CanvasBrush::Needle);
  EXPECT_EQ(InkBox().right, -1);
  canvas->FillRect(50, 50, 60, 55, CanvasBrush::Needle);
  const Box box = InkBox();
  EXPECT_EQ(box.Width(), 10);
  EXPECT_EQ(box.Height(), 5);
}

int CALLBACK CountFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return 1;
}

TEST_F(GdiCanvasTest, TheScreenFontIsLoadedForThisProcess) {
  ASSERT_NE(canvas, nullptr);
  ASSERT_EQ(LoadsScreenFontFile(), 1) << "ipag.ttf is missing beside the test program";
  canvas->SelectFont(CanvasFont::Medium);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(canvas->GetDC(), LF_FACESIZE, face);
  EXPECT_STREQ(face, L"IPAGothic");
  // The face is known to this process's font enumeration.
  HDC screen = ::GetDC(nullptr);
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcscpy(wanted.lfFaceName, L"IPAGothic");
  int found = 0;
  EnumFontFamiliesExW(screen, &wanted, CountFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  EXPECT_GT(found, 0);
}

TEST_F(GdiCanvasTest, PresentHandsThePictureToTheWindow) {
  ASSERT_NE(canvas, nullptr);
  GdiCanvas* presented = nullptr;
  canvas->SetPresenter([&](GdiCanvas& c) { presented = &c; });
  canvas->Present();
  EXPECT_EQ(presented, canvas);
  EXPECT_NE(canvas->GetDC(), nullptr);
  EXPECT_EQ(canvas->Width(), kW);
  EXPECT_EQ(canvas->Height(), kH);
  EXPECT_EQ(CreateGdiCanvas(0, kH), nullptr);
}

}  // namespace
