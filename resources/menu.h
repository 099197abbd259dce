#pragma once

#include <cstdint>

// The main window's menu: one table from which the platform builds its menu
// bar. Each item delivers its command id in a command message.
namespace resources {

inline constexpr uint16_t kCommandExit = 40001;
inline constexpr uint16_t kCommandRegister = 40003;
inline constexpr uint16_t kCommandZeroAdjust = 40005;
inline constexpr uint16_t kCommandManualPage = 40006;
inline constexpr uint16_t kCommandProgramPage = 40007;
inline constexpr uint16_t kCommandBlogPage = 40008;
inline constexpr uint16_t kCommandMeasureUser0 = 40013;
inline constexpr uint16_t kCommandMeasureUser1 = 40014;
inline constexpr uint16_t kCommandMeasureUser2 = 40015;
inline constexpr uint16_t kCommandMeasureUser3 = 40016;
inline constexpr uint16_t kCommandWeightChart = 40017;
inline constexpr uint16_t kCommandExportCsv = 40018;
inline constexpr uint16_t kCommandImportCsv = 40019;
inline constexpr uint16_t kCommandUnitKilograms = 40020;
inline constexpr uint16_t kCommandUnitPounds = 40021;
inline constexpr uint16_t kCommandUnitStones = 40022;
inline constexpr uint16_t kCommandSpeech = 40025;
inline constexpr uint16_t kCommandRecognizeUser = 40027;
inline constexpr uint16_t kCommandChangeRecord = 40030;
inline constexpr uint16_t kCommandDeleteRecord = 40031;
inline constexpr uint16_t kCommandAddRecord = 40032;
inline constexpr uint16_t kCommandUndoCorrection = 40033;
inline constexpr uint16_t kCommandUsers = 40034;
inline constexpr uint16_t kCommandChartMonth = 40040;
inline constexpr uint16_t kCommandChartQuarter = 40041;
inline constexpr uint16_t kCommandChartYear = 40042;
inline constexpr uint16_t kCommandChartAll = 40043;
inline constexpr uint16_t kCommandChartUser = 40044;
inline constexpr uint16_t kCommandChartBmi = 40045;

// The texts are marked for translation; the platform shows them through Tr.
// An item's text may end in a tab and a key name; the key is only shown
// beside the item, the window handles it as a key press of its own.
// The radio items of one popup form one group, of which the window keeps
// exactly one checked.
// A check item shows on or off and is flipped by each choice.
enum class MenuItemKind { Plain, Radio, Check };

struct MenuItem {
  const char* text;
  uint16_t commandId;
  MenuItemKind kind = MenuItemKind::Plain;
};

struct MenuPopup {
  const char* title;
  const MenuItem* items;
  int itemCount;
};

extern const MenuPopup kMainMenu[];
extern const int kMainMenuPopupCount;

// A measure item's text for a user with a name; %s: the name.
extern const char* const kMeasureNamedUser;

// The table's text of a command's item, before translation; "" for none.
const char* MenuText(uint16_t command);

}  // namespace resources
