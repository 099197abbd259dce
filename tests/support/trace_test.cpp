#include "support/trace.h"

#include <gtest/gtest.h>

#include <string>

#include "debug_output_capture.h"

namespace {

std::string DebugOutputOf(void (*print)()) {
  CaptureDebugOutput();
  print();
  return CapturedDebugOutput();
}

TEST(DebugPrint, EndsTheTextWithCarriageReturnAndLineFeed) {
  EXPECT_EQ(DebugOutputOf([] { DebugPrint("ERROR: func %s\n", "HidD_GetAttributes"); }),
            "ERROR: func HidD_GetAttributes\n\r\n");
}

TEST(DebugPrint, CutsTheTextAt509Characters) {
  std::string expected = std::string(509, 'x') + "\r\n";
  EXPECT_EQ(DebugOutputOf([] { DebugPrint("%s", std::string(509, 'x').c_str()); }), expected);
  EXPECT_EQ(DebugOutputOf([] { DebugPrint("%s%s", std::string(509, 'x').c_str(), "yz"); }),
            expected);
}

TEST(Trace, WritesOnlyInATraceBuild) {
  std::string output = DebugOutputOf([] { Trace("font ERROR %d %s", 3, "step"); });
#if defined(GRAVIMO_TRACE)
  EXPECT_EQ(output, "font ERROR 3 step\r\n");
#else
  EXPECT_EQ(output, "");
#endif
}

}  // namespace
