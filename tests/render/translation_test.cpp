#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "demo/screen_states.h"
#include "english_locale.h"
#include "render/canvas_recording.h"
#include "resources/menu.h"
#include "resources/tr.h"

namespace {

TEST(Translations, EnglishCatalogueAppliesAndNumbersStayC) {
  EXPECT_EQ(ShowsSourceTexts(), 1);
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");
  {
    EnglishLocale english;
    EXPECT_EQ(ShowsSourceTexts(), 0);
    EXPECT_STREQ(Tr("0kg調整中"), "Zeroing");
    EXPECT_STREQ(Tr(""), "");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char figure[16];
    std::snprintf(figure, sizeof figure, "%5.1f", 64.5);
    EXPECT_STREQ(figure, " 64.5");
  }
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");
}

// The window shows the key after the tab beside the item and handles the key
// itself, so a translation must keep it.
TEST(Translations, EnglishMenuItemsKeepTheirKeys) {
  EnglishLocale english;
  for (int p = 0; p < resources::kMainMenuPopupCount; ++p) {
    const resources::MenuPopup& popup = resources::kMainMenu[p];
    EXPECT_STRNE(Tr(popup.title), "") << popup.title;
    for (int i = 0; i < popup.itemCount; ++i) {
      const char* source = popup.items[i].text;
      const char* shown = Tr(source);
      const char* key = std::strchr(source, '\t');
      const char* shownKey = std::strchr(shown, '\t');
      EXPECT_STREQ(shownKey ? shownKey : "", key ? key : "") << source;
    }
  }
}

// A text's box on the screen: ASCII takes a half-width cell, every other
// character a full-width one; a cell is 6, 12 or 48 pixels wide and the line
// twice that high.
struct TextBox {
  std::string text;
  int left, top, right, bottom;
};

TextBox BoxOf(const CanvasOp& op) {
  const CanvasSize cells = op.TextCells();
  return {op.text, op.x, op.y, op.x + cells.width, op.y + cells.height};
}

std::vector<TextBox> TextsOf(const char* state) {
  std::vector<TextBox> boxes;
  AppWindow window(nullptr);
  RecordingCanvas* canvas = CreateRecordingCanvas();
  window.canvas = canvas;
  if (PrepareScreenState(window, state) != 1)
    return boxes;
  window.RenderFrame();
  for (const CanvasOp& op : canvas->Ops()) {
    if (op.kind == CanvasOp::DrawText)
      boxes.push_back(BoxOf(op));
  }
  return boxes;
}

bool Contains(const std::vector<TextBox>& boxes, const std::string& text) {
  for (const TextBox& box : boxes) {
    if (box.text == text)
      return true;
  }
  return false;
}

// English texts may be wider than their Japanese sources, and the screen's
// positions are fixed: every translated text of every screen stays inside
// the picture and clear of the other texts.
TEST(Translations, EnglishTextsFitTheScreen) {
  for (const char* state : kScreenStates) {
    const std::vector<TextBox> source = TextsOf(state);
    EnglishLocale english;
    const std::vector<TextBox> boxes = TextsOf(state);
    int translated = 0;
    for (const TextBox& a : boxes) {
      if (Contains(source, a.text))
        continue;
      ++translated;
      EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= 600 && a.bottom <= 400)
          << state << ": " << a.text << " reaches " << a.right << "," << a.bottom;
      for (const TextBox& b : boxes) {
        const bool apart = &a == &b || a.right <= b.left || b.right <= a.left ||
                           a.bottom <= b.top || b.bottom <= a.top;
        EXPECT_TRUE(apart) << state << ": \"" << a.text << "\" overlaps \"" << b.text << "\"";
      }
    }
    EXPECT_GT(translated, 0) << state;
  }
}

}  // namespace
