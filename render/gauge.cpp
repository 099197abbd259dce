#include "render/gauge.h"

#include <cmath>

#include "render/canvas.h"
#include "render/matrix4.h"
#include "render/text.h"
#include "resources/tr.h"
#include "screen/screen_data.h"

namespace {

constexpr double kBarFullScale = 136.0;  // quarter kilograms: 34 kg on one cell
constexpr double kBarFullLength = 100.0;
constexpr int kBarHeight = 48;
constexpr int kBarMargin = 16;

constexpr double kDialFullScale = 136.0;  // kg
constexpr double kDialSweep = 240.0;      // degrees from 0 to full scale
constexpr double kRadiansPerDegree = static_cast<double>(0.01745329238474369f);
constexpr float kNeedleDepth = 20.0f;
constexpr double kProjection = 32.0;
constexpr int kPivotY = 210;

constexpr int kBmiFirst = 15;
constexpr int kBmiCount = 28;
constexpr int kBmiLeft = 64;
constexpr double kBmiHeightsFrom = 2.0;  // kg

// The needle's outline in model units, in drawing order: tail left, tail
// right, tip right, tip left.
constexpr Vector3 kNeedleModel[4] = {
    {-5.0f, -10.0f, 0.0f}, {5.0f, -10.0f, 0.0f}, {1.0f, 110.0f, 0.0f}, {-1.0f, 110.0f, 0.0f}};

int BarLength(float load) {
  return static_cast<int>(static_cast<double>(load) * kBarFullLength / kBarFullScale);
}

void DrawBar(Canvas& canvas, int left, int top, int length) {
  // A negative load (a cell unloaded below its zero point) shows no bar.
  if (length <= 0)
    return;
  canvas.FillWhite(left, top, length, kBarHeight);
}

float NeedleRadians(float weight) {
  const float degrees = static_cast<float>(
      static_cast<double>(weight) * kDialSweep / kDialFullScale - kDialSweep / 2);
  return static_cast<float>(static_cast<double>(degrees) * kRadiansPerDegree);
}

CanvasPoint ProjectToScreen(Vector3 p, int pivotX) {
  const float scale = static_cast<float>(kProjection / static_cast<double>(p.z));
  const float x = static_cast<float>(static_cast<double>(p.x) * scale);
  const float y = static_cast<float>(-static_cast<double>(p.y) * scale);
  return {pivotX + static_cast<int>(x), static_cast<int>(y) + kPivotY};
}

int BodyHeight(float weight, int bmi) {
  const float ratio = static_cast<float>(static_cast<double>(weight) / bmi);
  const float root = static_cast<float>(std::sqrt(static_cast<double>(ratio)));
  return static_cast<int>(static_cast<float>(static_cast<double>(root) * 100.0));
}

}  // namespace

void DrawSensorBars(Canvas& canvas, const DeviceEntry& entry, int width, int height) {
  const int rightEdge = width - kBarMargin;
  const int upperRow = height - 112;
  const int lowerRow = height - 54;
  const int lengths[4] = {BarLength(entry.cornerWeight[0]), BarLength(entry.cornerWeight[1]),
                          BarLength(entry.cornerWeight[2]), BarLength(entry.cornerWeight[3])};
  DrawBar(canvas, rightEdge - lengths[0], upperRow, lengths[0]);
  DrawBar(canvas, rightEdge - lengths[1], lowerRow, lengths[1]);
  DrawBar(canvas, kBarMargin, upperRow, lengths[2]);
  DrawBar(canvas, kBarMargin, lowerRow, lengths[3]);
}

void DrawNeedle(Canvas& canvas, const DeviceEntry& entry, int width, int /*height*/) {
  Matrix4 m = Matrix4::Identity();
  RotateZ(m, -NeedleRadians(entry.rawWeight));
  m.row[3].v[2] = kNeedleDepth;
  canvas.SelectBrush(CanvasBrush::Needle);
  canvas.SelectPen(CanvasPen::Outline);
  CanvasPoint polygon[4];
  for (int i = 0; i < 4; ++i)
    polygon[i] = ProjectToScreen(TransformPoint(m, kNeedleModel[i]), width / 2);
  canvas.Polygon(polygon, 4);
}

void DrawBmiRuler(Canvas& canvas, const DeviceEntry& entry, int width, int /*height*/) {
  const float weight = entry.smoothedWeight;
  canvas.SelectFont(CanvasFont::Small);
  for (int i = 0; i < kBmiCount; ++i) {
    const int bmi = kBmiFirst + i;
    const int x = kBmiLeft + (i * (width - 54)) / (kBmiCount - 1);
    const CanvasPoint tick[2] = {{x, 250}, {x, 260}};
    canvas.Polyline(tick, 2);
    DrawFormattedText(canvas, x - 5, 260, "%d", bmi);
    if (weight >= kBmiHeightsFrom)
      DrawFormattedText(canvas, x - 9, 238, "%3d", BodyHeight(weight, bmi));
  }
  canvas.DrawText(4, 260, "BMI");
  canvas.DrawText(4, 238, Tr("身長(cm)"));
}
