#include "render/gauge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_window.h"
#include "render/canvas_recording.h"
#include "render/matrix4.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr int kW = 600;
constexpr int kH = 400;

class GaugeTest : public ::testing::Test {
 protected:
  void TearDown() override { canvas->Release(); }

  std::vector<CanvasOp> OpsOf(CanvasOp::Kind kind) const {
    std::vector<CanvasOp> found;
    for (const CanvasOp& op : canvas->Ops())
      if (op.kind == kind)
        found.push_back(op);
    return found;
  }

  std::vector<CanvasPoint> NeedleAt(float weight) {
    DeviceEntry entry;
    entry.rawWeight = weight;
    canvas->Clear();
    DrawNeedle(*canvas, entry, kW, kH);
    std::vector<CanvasOp> polygons = OpsOf(CanvasOp::Polygon);
    EXPECT_EQ(polygons.size(), 1u);
    return polygons.empty() ? std::vector<CanvasPoint>{} : polygons[0].points;
  }

  std::vector<std::string> BarsFor(float c0, float c1, float c2, float c3) {
    DeviceEntry entry;
    const float cells[4] = {c0, c1, c2, c3};
    for (int i = 0; i < 4; ++i)
      entry.cornerWeight[i] = cells[i];
    canvas->Clear();
    DrawSensorBars(*canvas, entry, kW, kH);
    return canvas->Lines();
  }

  std::vector<CanvasOp> RulerTexts(float weight) {
    DeviceEntry entry;
    entry.smoothedWeight = weight;
    canvas->Clear();
    DrawBmiRuler(*canvas, entry, kW, kH);
    return OpsOf(CanvasOp::DrawText);
  }

  RecordingCanvas* canvas = CreateRecordingCanvas();
};

TEST_F(GaugeTest, NeedleTurnsClockwiseFromLowerLeftToLowerRight) {
  EXPECT_THAT(NeedleAt(0.0f), ElementsAre(CanvasPoint{317, 209}, CanvasPoint{309, 196},
                                          CanvasPoint{147, 296}, CanvasPoint{149, 299}));
  EXPECT_THAT(NeedleAt(68.0f), ElementsAre(CanvasPoint{292, 226}, CanvasPoint{308, 226},
                                           CanvasPoint{301, 34}, CanvasPoint{299, 34}));
  EXPECT_THAT(NeedleAt(136.0f), ElementsAre(CanvasPoint{291, 196}, CanvasPoint{283, 209},
                                            CanvasPoint{451, 299}, CanvasPoint{453, 296}));
  const std::vector<CanvasPoint> at34 = NeedleAt(34.0f);
  ASSERT_EQ(at34.size(), 4u);
  EXPECT_EQ(at34[2], (CanvasPoint{149, 121}));
  EXPECT_EQ(at34[3], (CanvasPoint{147, 124}));
  const std::vector<CanvasPoint> at102 = NeedleAt(102.0f);
  ASSERT_EQ(at102.size(), 4u);
  EXPECT_EQ(at102[2], (CanvasPoint{453, 124}));
  EXPECT_EQ(at102[3], (CanvasPoint{451, 121}));
}

TEST_F(GaugeTest, NeedleIsNotLimitedBeyondTheScale) {
  // 204 kg turns on past the lower right end, 240 degrees clockwise from
  // straight up, to the lower left; -68 kg turns as far the other way.
  const std::vector<CanvasPoint> over = NeedleAt(204.0f);
  const std::vector<CanvasPoint> under = NeedleAt(-68.0f);
  ASSERT_EQ(over.size(), 4u);
  ASSERT_EQ(under.size(), 4u);
  EXPECT_GT(over[2].y, 210);  // tip below the pivot on the left side
  EXPECT_LT(over[2].x, 300);
  EXPECT_GT(under[2].y, 210);
  EXPECT_GT(under[2].x, 300);
}

TEST_F(GaugeTest, NeedleSelectsItsBrushAndPenBeforeDrawing) {
  NeedleAt(10.0f);
  const std::vector<std::string> lines = canvas->Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "brush needle");
  EXPECT_EQ(lines[1], "pen outline");
}

TEST_F(GaugeTest, BarsScaleToOneHundredPixelsAtThirtyFourKilograms) {
  EXPECT_THAT(BarsFor(136.0f, 68.0f, 136.0f, 68.0f),
              ElementsAre("white 484 288 100 48", "white 534 346 50 48", "white 16 288 100 48",
                          "white 16 346 50 48"));
  EXPECT_THAT(BarsFor(1.35f, 1.35f, 1.35f, 1.35f), IsEmpty());
  // Overload grows towards the middle of the picture.
  EXPECT_THAT(BarsFor(272.0f, 0.0f, 0.0f, 0.0f), ElementsAre("white 384 288 200 48"));
}

TEST_F(GaugeTest, NegativeCellLoadDrawsNoBar) {
  EXPECT_THAT(BarsFor(-40.0f, -0.5f, -136.0f, 13.6f), ElementsAre("white 16 346 10 48"));
}

TEST_F(GaugeTest, BmiTicksStandAtIntegerStepsFromSixtyFour) {
  RulerTexts(65.0f);
  std::vector<int> ticks;
  for (const CanvasOp& op : OpsOf(CanvasOp::Polyline)) {
    ASSERT_EQ(op.points.size(), 2u);
    EXPECT_EQ(op.points[0].y, 250);
    EXPECT_EQ(op.points[1].y, 260);
    EXPECT_EQ(op.points[0].x, op.points[1].x);
    ticks.push_back(op.points[0].x);
  }
  EXPECT_THAT(ticks, ElementsAreArray({64,  84,  104, 124, 144, 165, 185, 205, 225, 246,
                                       266, 286, 306, 326, 347, 367, 387, 407, 428, 448,
                                       468, 488, 508, 529, 549, 569, 589, 610}));
}

TEST_F(GaugeTest, BmiHeightsAtSixtyFiveKilograms) {
  std::vector<std::string> heights;
  std::vector<std::string> numbers;
  for (const CanvasOp& op : RulerTexts(65.0f)) {
    if (op.y == 238 && op.x != 4)
      heights.push_back(op.text);
    if (op.y == 260 && op.x != 4)
      numbers.push_back(op.text);
  }
  EXPECT_THAT(heights, ElementsAreArray({"208", "201", "195", "190", "184", "180", "175",
                                         "171", "168", "164", "161", "158", "155", "152",
                                         "149", "147", "144", "142", "140", "138", "136",
                                         "134", "132", "130", "129", "127", "125", "124"}));
  ASSERT_EQ(numbers.size(), 28u);
  EXPECT_EQ(numbers.front(), "15");
  EXPECT_EQ(numbers.back(), "42");
}

TEST_F(GaugeTest, BmiTextsSitBesideTheirTicksWithCaptionsLast) {
  const std::vector<CanvasOp> texts = RulerTexts(60.0f);
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0].x, 59);  // "15" at tick 64 - 5
  EXPECT_EQ(texts[0].y, 260);
  EXPECT_EQ(texts[1].x, 55);  // its height at tick 64 - 9
  EXPECT_EQ(texts[1].y, 238);
  EXPECT_EQ(texts[11].text, "173");  // BMI 20 at 60 kg
  EXPECT_EQ(texts[texts.size() - 2].ToString(), "text 4 260 BMI");
  EXPECT_EQ(texts.back().ToString(), "text 4 238 身長(cm)");
  EXPECT_EQ(canvas->Ops().front().ToString(), "font small");
}

TEST_F(GaugeTest, NoHeightsBelowTwoKilograms) {
  const std::vector<CanvasOp> texts = RulerTexts(1.9f);
  EXPECT_EQ(texts.size(), 28u + 2u);
  for (const CanvasOp& op : texts) {
    if (op.x == 4)
      continue;  // the captions
    EXPECT_NE(op.y, 238) << op.ToString() << " is a height";
  }
  // From exactly 2.0 kg on, the heights are shown.
  EXPECT_EQ(RulerTexts(2.0f).size(), 28u * 2u + 2u);
}

TEST(Matrix4Test, RowVectorConventionWithTranslationRow) {
  Matrix4 m = Matrix4::Identity();
  m.row[3].v[0] = 7.0f;
  m.row[3].v[2] = 20.0f;
  RotateZ(m, 1.5707963705062866f);  // a quarter turn takes x onto y
  const Vector3 p = TransformPoint(m, {2.0f, 0.0f, 1.0f});
  EXPECT_NEAR(p.x, 7.0f, 1e-6f);
  EXPECT_NEAR(p.y, 2.0f, 1e-6f);
  EXPECT_FLOAT_EQ(p.z, 21.0f);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&m.row[1]) % 16, 0u);
}

}  // namespace
