#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/menu.h"
#include "window/virtual_key.h"

namespace {

TEST(VirtualKeyTest, LettersAreUpperCaseAndDigitsKeepTheirCode) {
  EXPECT_EQ(VirtualKeyFromKeysym('a'), 0x41u);
  EXPECT_EQ(VirtualKeyFromKeysym('A'), 0x41u);
  EXPECT_EQ(VirtualKeyFromKeysym('c'), 0x43u);
  EXPECT_EQ(VirtualKeyFromKeysym('z'), 0x5Au);
  EXPECT_EQ(VirtualKeyFromKeysym('0'), 0x30u);
  EXPECT_EQ(VirtualKeyFromKeysym('9'), 0x39u);
}

TEST(VirtualKeyTest, NamedKeysMapToTheirCodes) {
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF1B), kVkEscape);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF0D), kVkReturn);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF8D), kVkReturn);  // keypad Enter
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF51), kVkLeft);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF52), kVkUp);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF53), kVkRight);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFF54), kVkDown);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFFBE), kVkF1);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFFC9), 0x7Bu);  // F12
}

TEST(VirtualKeyTest, KeysWithoutCodeGiveZero) {
  EXPECT_EQ(VirtualKeyFromKeysym(0), 0u);
  EXPECT_EQ(VirtualKeyFromKeysym('@'), 0u);
  EXPECT_EQ(VirtualKeyFromKeysym('a' - 1), 0u);
  EXPECT_EQ(VirtualKeyFromKeysym('z' + 1), 0u);
  EXPECT_EQ(VirtualKeyFromKeysym(0xFFCA), 0u);  // F13
  EXPECT_EQ(VirtualKeyFromKeysym(0x00E4), 0u);  // a-umlaut
}

TEST(MainMenuTest, EveryCommandOccursOnceAndKeyHintsNameHandledKeys) {
  std::set<int> ids;
  int items = 0;
  std::string hints;
  for (int p = 0; p < resources::kMainMenuPopupCount; ++p) {
    const resources::MenuPopup& popup = resources::kMainMenu[p];
    for (int i = 0; i < popup.itemCount; ++i) {
      ++items;
      ids.insert(popup.items[i].commandId);
      const std::string text = popup.items[i].text;
      const auto tab = text.find('\t');
      if (tab != std::string::npos) {
        ASSERT_EQ(tab + 2, text.size()) << text;
        EXPECT_NE(VirtualKeyFromKeysym(text[tab + 1]), 0u);
        hints += text[tab + 1];
      }
    }
  }
  EXPECT_EQ(items, 29);
  EXPECT_EQ(ids,
            (std::set<int>{40001, 40003, 40005, 40006, 40007, 40008, 40013, 40014, 40015, 40016,
                           40017, 40018, 40019, 40020, 40021, 40022, 40025, 40027, 40030, 40031,
                           40032, 40033, 40034, 40040, 40041, 40042, 40043, 40044, 40045}));
  EXPECT_EQ(hints, "ACGENZ1234UB");
}

}  // namespace
