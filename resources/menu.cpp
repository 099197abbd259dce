#include "resources/menu.h"

namespace resources {
namespace {

constexpr MenuItem kFileItems[] = {
    {"Exit", kCommandExit},
};

constexpr MenuItem kBoardItems[] = {
    {"バランスWiiボード登録\tA", kCommandRegister},
    {"キャリブレーション(0kg調整)\tC", kCommandZeroAdjust},
};

constexpr MenuItem kMeasureItems[] = {
    {"測定開始 User0", kCommandMeasureUser0},
    {"測定開始 User1", kCommandMeasureUser1},
    {"測定開始 User2", kCommandMeasureUser2},
    {"測定開始 User3", kCommandMeasureUser3},
};

constexpr MenuItem kHelpItems[] = {
    {"Online Manual", kCommandManualPage},
    {"Web", kCommandProgramPage},
    {"Blog", kCommandBlogPage},
};

template <int N>
constexpr MenuPopup Popup(const char* title, const MenuItem (&items)[N]) {
  return MenuPopup{title, items, N};
}

}  // namespace

const MenuPopup kMainMenu[] = {
    Popup("File", kFileItems),
    Popup("BalanceBoard", kBoardItems),
    Popup("測定", kMeasureItems),
    Popup("Help", kHelpItems),
};

const int kMainMenuPopupCount = sizeof(kMainMenu) / sizeof(kMainMenu[0]);

}  // namespace resources
