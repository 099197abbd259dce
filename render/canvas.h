#pragma once

#include <cstdint>

// A colour of the picture, 8 bits per channel.
struct CanvasColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const CanvasColor&) const = default;
};

// The three fonts of the screen, by their character cell: small 6 x 12,
// medium 12 x 24 and large 48 x 96 pixels for a half-width character.
enum class CanvasFont { Small, Medium, Large };

// Solid brushes: the cleared background and the needle's fill.
enum class CanvasBrush { Background, Needle };

// One-pixel pens: the outline of the needle, the BMI scale ticks and the
// chart's frame; the chart's grid; one line colour per user of the chart.
// The faded pens draw a user's raw weights behind the trend: the user's
// colour, a third of the way from the background.
enum class CanvasPen { Outline, Grid, User0, User1, User2, User3, Faded0, Faded1, Faded2, Faded3 };
inline constexpr int kCanvasPenCount = 10;

// The colour of each pen, the same on every platform.
constexpr CanvasColor PenColor(CanvasPen pen) {
  constexpr CanvasColor kColors[] = {
      {55, 55, 25},   {214, 214, 204}, {34, 94, 200},   {214, 72, 36},   {30, 146, 70},
      {150, 64, 170}, {168, 189, 220}, {231, 181, 162}, {167, 207, 174}, {208, 178, 209}};
  return kColors[static_cast<int>(pen)];
}

struct CanvasPoint {
  int x = 0;
  int y = 0;
  bool operator==(const CanvasPoint&) const = default;
};

// The drawing operations the screen needs, on an off-screen picture that is
// copied to the window in one block by Present. Selections (font, brush,
// pen) and the text colours persist from one call and one frame to the next.
// Created by a factory, destroyed by Release, never deleted by the caller.
class Canvas {
 public:
  // Fills the rectangle [left, right) x [top, bottom) with a brush.
  virtual void FillRect(int left, int top, int right, int bottom, CanvasBrush brush) = 0;
  virtual void SetTextColor(CanvasColor color) = 0;
  virtual void SetBackgroundColor(CanvasColor color) = 0;
  virtual void SelectFont(CanvasFont font) = 0;
  virtual void SelectBrush(CanvasBrush brush) = 0;
  virtual void SelectPen(CanvasPen pen) = 0;
  // Draws UTF-8 text with its top-left corner at (x, y) in the selected
  // font and text colour, over its cell area painted in the background
  // colour. A line feed starts a new line; nothing wraps or clips.
  virtual void DrawText(int x, int y, const char* text) = 0;
  // Fills width x height pixels from (x, y) with pure white, whatever brush
  // is selected.
  virtual void FillWhite(int x, int y, int width, int height) = 0;
  // Fills the polygon with the selected brush and outlines it with the
  // selected pen.
  virtual void Polygon(const CanvasPoint* points, int count) = 0;
  // Joins the points with the selected pen.
  virtual void Polyline(const CanvasPoint* points, int count) = 0;
  // Copies the finished picture to the window.
  virtual void Present() = 0;
  virtual void Release() = 0;

 protected:
  virtual ~Canvas() = default;
};
