#pragma once

#include "resources/tr.h"

// The texts of correcting the weight log (the record dialog, what a
// correction says) and of the users dialog; whoever shows one passes it
// through Tr.
namespace resources {

inline constexpr const char* kRecordChangeTitle = TrMark("記録を修正");
inline constexpr const char* kRecordAddTitle = TrMark("記録を追加");
inline constexpr const char* kRecordDate = TrMark("日付 (年-月-日)");
inline constexpr const char* kRecordTime = TrMark("時刻 (時:分:秒)");
// %s: the unit the weight is typed in, "kg" or "lb".
inline constexpr const char* kRecordWeight = TrMark("体重 (%s)");
inline constexpr const char* kRecordUser = TrMark("ユーザー");
inline constexpr const char* kRecordAccept = TrMark("OK");
inline constexpr const char* kRecordCancel = TrMark("キャンセル");
inline constexpr const char* kRecordInvalid =
    TrMark("日付、時刻、体重 (0より大きく350kgまで) を確かめてください。");
inline constexpr const char* kRecordNotRewritten =
    TrMark("体重の記録ファイルを書き換えられません。");
inline constexpr const char* kRecordGone =
    TrMark("その記録は記録ファイルにもうありません。グラフを開き直してください。");
// The selected record in words, for screen readers. %s: user, date and time, weight.
inline constexpr const char* kRecordSays = TrMark("選択中の記録: %s、%s、%s。");

inline constexpr const char* kUsersTitle = TrMark("ユーザーの設定");
// %d: the user's number.
inline constexpr const char* kUserName = TrMark("User%d の名前");
// %d: the user's number; %s: the unit, "cm" or "ft'in".
inline constexpr const char* kUserHeight = TrMark("User%d の身長 (%s)");
// %d: the user's number; %s: the unit, "kg" or "lb".
inline constexpr const char* kUserGoal = TrMark("User%d の目標体重 (%s)");
inline constexpr const char* kUsersInvalid =
    TrMark("身長は50cmから250cmまで、目標体重は350kgまでで入れてください (空欄は未設定)。");

}  // namespace resources
