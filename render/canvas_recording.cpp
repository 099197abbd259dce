#include "render/canvas_recording.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

const char* FontName(CanvasFont font) {
  switch (font) {
    case CanvasFont::Small:
      return "small";
    case CanvasFont::Medium:
      return "medium";
    case CanvasFont::Large:
      return "large";
  }
  return "?";
}

const char* PenName(CanvasPen pen) {
  static constexpr const char* kNames[] = {"outline", "grid",   "user0",  "user1",  "user2",
                                           "user3",   "faded0", "faded1", "faded2", "faded3"};
  return kNames[static_cast<int>(pen)];
}

const char* BrushName(CanvasBrush brush) {
  return brush == CanvasBrush::Background ? "background" : "needle";
}

std::string ColorText(CanvasColor c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d,%d,%d", c.r, c.g, c.b);
  return buffer;
}

std::string PointsText(const std::vector<CanvasPoint>& points) {
  std::string text;
  for (const CanvasPoint& p : points) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %d,%d", p.x, p.y);
    text += buffer;
  }
  return text;
}

std::string FourInts(const char* name, int a, int b, int c, int d) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s %d %d %d %d", name, a, b, c, d);
  return buffer;
}

class RecordingCanvasImp : public RecordingCanvas {
 public:
  void FillRect(int left, int top, int right, int bottom, CanvasBrush brush) override {
    CanvasOp& op = Add(CanvasOp::FillRect);
    op.x = left;
    op.y = top;
    op.width = right;
    op.height = bottom;
    op.brush = brush;
  }
  void SetTextColor(CanvasColor color) override {
    textColor = color;
    Add(CanvasOp::SetTextColor).color = color;
  }
  void SetBackgroundColor(CanvasColor color) override {
    background = color;
    Add(CanvasOp::SetBackgroundColor).color = color;
  }
  void SelectFont(CanvasFont selected) override {
    font = selected;
    Add(CanvasOp::SelectFont).font = selected;
  }
  void SelectBrush(CanvasBrush brush) override { Add(CanvasOp::SelectBrush).brush = brush; }
  void SelectPen(CanvasPen pen) override { Add(CanvasOp::SelectPen).pen = pen; }
  void DrawText(int x, int y, const char* text) override {
    CanvasOp& op = Add(CanvasOp::DrawText);
    op.x = x;
    op.y = y;
    op.text = text;
  }
  void FillWhite(int x, int y, int width, int height) override {
    CanvasOp& op = Add(CanvasOp::FillWhite);
    op.x = x;
    op.y = y;
    op.width = width;
    op.height = height;
  }
  void Polygon(const CanvasPoint* points, int count) override {
    Add(CanvasOp::Polygon).points.assign(points, points + count);
  }
  void Polyline(const CanvasPoint* points, int count) override {
    Add(CanvasOp::Polyline).points.assign(points, points + count);
  }
  void Present() override { Add(CanvasOp::Present); }
  void Release() override { delete this; }

  const std::vector<CanvasOp>& Ops() const override { return ops; }
  void Clear() override { ops.clear(); }
  std::vector<std::string> Lines() const override {
    std::vector<std::string> lines;
    lines.reserve(ops.size());
    for (const CanvasOp& op : ops)
      lines.push_back(op.ToString());
    return lines;
  }

 private:
  CanvasOp& Add(CanvasOp::Kind kind) {
    CanvasOp& op = ops.emplace_back();
    op.kind = kind;
    op.currentFont = font;
    op.currentTextColor = textColor;
    op.currentBackground = background;
    return op;
  }

  std::vector<CanvasOp> ops;
  CanvasFont font = CanvasFont::Small;
  CanvasColor textColor;
  CanvasColor background{255, 255, 255};
};

}  // namespace

CanvasSize CanvasOp::TextCells() const {
  const int cell = currentFont == CanvasFont::Small    ? 6
                   : currentFont == CanvasFont::Medium ? 12
                                                       : 48;
  int widest = 0;
  int columns = 0;
  int lines = 1;
  for (unsigned char c : text) {
    if (c == '\n') {
      ++lines;
      columns = 0;
    } else if (c < 0x80) {
      columns += 1;
    } else if (c >= 0xC0) {
      columns += 2;  // the lead byte of a character beyond ASCII
    }
    widest = std::max(widest, columns);
  }
  return {widest * cell, lines * 2 * cell};
}

std::string CanvasOp::ToString() const {
  switch (kind) {
    case FillRect:
      return FourInts("fill", x, y, width, height) + " " + BrushName(brush);
    case SetTextColor:
      return "textcolor " + ColorText(color);
    case SetBackgroundColor:
      return "bkcolor " + ColorText(color);
    case SelectFont:
      return std::string("font ") + FontName(font);
    case SelectBrush:
      return std::string("brush ") + BrushName(brush);
    case SelectPen:
      return std::string("pen ") + PenName(pen);
    case DrawText:
      return "text " + std::to_string(x) + " " + std::to_string(y) + " " + text;
    case FillWhite:
      return FourInts("white", x, y, width, height);
    case Polygon:
      return "polygon" + PointsText(points);
    case Polyline:
      return "polyline" + PointsText(points);
    case Present:
      return "present";
  }
  return "?";
}

RecordingCanvas* CreateRecordingCanvas() {
  return new (std::nothrow) RecordingCanvasImp;
}
