#include "resources/menu.h"

#include "resources/tr.h"

namespace resources {
namespace {

constexpr MenuItem kFileItems[] = {
    {TrMark("Exit"), kCommandExit},
};

constexpr MenuItem kBoardItems[] = {
    {TrMark("バランスWiiボード登録\tA"), kCommandRegister},
    {TrMark("キャリブレーション(0kg調整)\tC"), kCommandZeroAdjust},
};

constexpr MenuItem kMeasureItems[] = {
    {TrMark("測定開始 User0"), kCommandMeasureUser0},
    {TrMark("測定開始 User1"), kCommandMeasureUser1},
    {TrMark("測定開始 User2"), kCommandMeasureUser2},
    {TrMark("測定開始 User3"), kCommandMeasureUser3},
    {TrMark("ユーザー..."), kCommandUsers},
    {TrMark("体重グラフ\tG"), kCommandWeightChart},
    {TrMark("CSVで書き出し..."), kCommandExportCsv},
    {TrMark("CSVを読み込む..."), kCommandImportCsv},
    {TrMark("結果を読み上げる"), kCommandSpeech, MenuItemKind::Check},
    {TrMark("ボタンで乗った人を推定する"), kCommandRecognizeUser, MenuItemKind::Check},
};

// The record selected on the chart (arrow keys) is changed or deleted.
constexpr MenuItem kRecordItems[] = {
    {TrMark("選択した記録を修正...\tE"), kCommandChangeRecord},
    {TrMark("選択した記録を削除 (Delete)"), kCommandDeleteRecord},
    {TrMark("記録を追加...\tN"), kCommandAddRecord},
    {TrMark("修正を元に戻す\tZ"), kCommandUndoCorrection},
};

// What the chart shows: its range of days, one user or all, weight or BMI.
constexpr MenuItem kChartItems[] = {
    {TrMark("1か月\t1"), kCommandChartMonth, MenuItemKind::Radio},
    {TrMark("3か月\t2"), kCommandChartQuarter, MenuItemKind::Radio},
    {TrMark("1年\t3"), kCommandChartYear, MenuItemKind::Radio},
    {TrMark("全期間\t4"), kCommandChartAll, MenuItemKind::Radio},
    {TrMark("ユーザーを切り替え\tU"), kCommandChartUser},
    {TrMark("体重とBMIを切り替え\tB"), kCommandChartBmi},
};

constexpr MenuItem kUnitItems[] = {
    {TrMark("キログラム (kg)"), kCommandUnitKilograms, MenuItemKind::Radio},
    {TrMark("ポンド (lb)"), kCommandUnitPounds, MenuItemKind::Radio},
    {TrMark("ストーン・ポンド (st lb)"), kCommandUnitStones, MenuItemKind::Radio},
};

constexpr MenuItem kHelpItems[] = {
    {TrMark("Online Manual"), kCommandManualPage},
    {TrMark("Web"), kCommandProgramPage},
    {TrMark("Blog"), kCommandBlogPage},
};

template <int N>
constexpr MenuPopup Popup(const char* title, const MenuItem (&items)[N]) {
  return MenuPopup{title, items, N};
}

}  // namespace

const MenuPopup kMainMenu[] = {
    Popup(TrMark("File"), kFileItems),    Popup(TrMark("BalanceBoard"), kBoardItems),
    Popup(TrMark("測定"), kMeasureItems), Popup(TrMark("単位"), kUnitItems),
    Popup(TrMark("記録"), kRecordItems),  Popup(TrMark("グラフ"), kChartItems),
    Popup(TrMark("Help"), kHelpItems),
};

const int kMainMenuPopupCount = sizeof(kMainMenu) / sizeof(kMainMenu[0]);

const char* const kMeasureNamedUser = TrMark("測定開始 %s");

const char* MenuText(uint16_t command) {
  for (const MenuPopup& popup : kMainMenu) {
    for (int i = 0; i < popup.itemCount; ++i) {
      if (popup.items[i].commandId == command)
        return popup.items[i].text;
    }
  }
  return "";
}

}  // namespace resources
