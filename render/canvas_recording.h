#pragma once

#include <string>
#include <vector>

#include "render/canvas.h"

struct CanvasSize {
  int width = 0;
  int height = 0;
};

// One drawing operation as the recording canvas saw it.
struct CanvasOp {
  enum Kind {
    FillRect,
    SetTextColor,
    SetBackgroundColor,
    SelectFont,
    SelectBrush,
    SelectPen,
    DrawText,
    FillWhite,
    Polygon,
    Polyline,
    Present,
  };
  Kind kind = FillRect;
  int x = 0;  // FillRect: left, top, right, bottom; FillWhite: x, y, width, height
  int y = 0;
  int width = 0;
  int height = 0;
  CanvasColor color;  // colour operations
  CanvasFont font = CanvasFont::Small;
  CanvasBrush brush = CanvasBrush::Background;  // FillRect, SelectBrush
  CanvasPen pen = CanvasPen::Outline;
  std::string text;                 // DrawText
  std::vector<CanvasPoint> points;  // Polygon, Polyline
  // What was selected when a text or figure was drawn.
  CanvasFont currentFont = CanvasFont::Small;
  CanvasColor currentTextColor;
  CanvasColor currentBackground;

  // One line such as "text 32 76 User0 測定中" or "polygon 317,209 309,196".
  std::string ToString() const;
  // A text's cell area [x, x + width) x [y, y + height): its longest line
  // in cells (one per ASCII character, two per other character) by one cell
  // height per line.
  CanvasSize TextCells() const;
};

// A canvas that draws nothing and keeps every operation with its
// arguments, so that tests can check a frame operation by operation.
class RecordingCanvas : public Canvas {
 public:
  virtual const std::vector<CanvasOp>& Ops() const = 0;
  virtual void Clear() = 0;
  // Every recorded operation as one text line.
  virtual std::vector<std::string> Lines() const = 0;
};

RecordingCanvas* CreateRecordingCanvas();
