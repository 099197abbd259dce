#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_window.h"
#include "app/log_edit.h"
#include "app/log_reader.h"
#include "app/users.h"
#include "platform/log_file.h"
#include "resources/record_texts.h"
#include "resources/tr.h"
#include "window/form_dialog.h"

// Corrections of the weight log from the chart: the selected record can be
// deleted or changed, a record added by hand, and the last correction
// undone. Each rewrites the log in one turn of its writers, keeping the
// old log beside it.

namespace {

constexpr char kBackupSuffix[] = ".bak";

enum FormRow { kDateRow, kTimeRow, kWeightRow, kUserRow };

// Date and time are checked as the log reader checks a record's.
int ParseTypedRecord(const FormQuestion& form, WeightUnit unit, LogRecord* record) {
  int32_t tenthsKg = 0;
  if (!ParseTypedWeight(form.fields[kWeightRow].text, unit, &tenthsKg))
    return 0;
  return RecordFromParts(std::to_string(form.fields[kUserRow].choice),
                         form.fields[kDateRow].text + " " + form.fields[kTimeRow].text, tenthsKg,
                         record);
}

}  // namespace

// Asks for a record's date, time, weight and user until the answers make a
// record or the user cancels.
int AppWindow::AskForRecord(const char* title, LogRecord* record) {
  char weightLabel[64];
  std::snprintf(weightLabel, sizeof weightLabel, Tr(resources::kRecordWeight),
                TypedWeightUnit(settings.unit));
  FormQuestion form = Form(Tr(title));
  form.fields = {{Tr(resources::kRecordDate), RecordDateText(*record), {}, 0},
                 {Tr(resources::kRecordTime), RecordTimeText(*record), {}, 0},
                 {weightLabel, TypedWeightText(record->tenthsKg, settings.unit), {}, 0},
                 {Tr(resources::kRecordUser), "", {}, record->user}};
  for (int user = 0; user < kUsers; ++user)
    form.fields[kUserRow].choices.push_back(UserLabel(userNames, user));
  for (;;) {
    if (!AskFormDialog(&form))
      return 0;
    if (ParseTypedRecord(form, settings.unit, record))
      return 1;
    form.note = Tr(resources::kRecordInvalid);
  }
}

// Records still waiting for the file go first, so the text corrected is
// the whole log. The history and the chart then show the log as it is now.
int AppWindow::CorrectLog(const LogEdit& edit) {
  WriteUnwrittenLog();
  LogEdit undo;
  const int done = RewriteLogFile(logPath, logPath + kBackupSuffix,
                                  [&edit, &undo](const std::string& text, std::string* out) {
                                    return ApplyLogEdit(text, edit, out, &undo);
                                  });
  if (!done) {
    const int error = errno;
    Tell(error == ECANCELED ? std::string(Tr(resources::kRecordGone))
                            : std::string(Tr(resources::kRecordNotRewritten)) + "\n" + logPath +
                                  ": " + std::strerror(error),
         1);
    return 0;
  }
  undoEdit = undo;
  canUndo = 1;
  ReloadAfterCorrection(edit);
  return 1;
}

// The record the correction left is selected: the changed or added one, or
// after a deletion its neighbour in time.
void AppWindow::ReloadAfterCorrection(const LogEdit& edit) {
  const int32_t position = chartPosition;
  LoadHistory();
  ReloadChart();
  const LogRecord& kept = edit.kind == LogEdit::Change ? edit.replacement : edit.record;
  const int32_t index = edit.kind == LogEdit::Delete ? -1 : FindRecord(chartLog.records, kept, 0);
  if (index >= 0) {
    SelectChartRecord(index);
  } else if (!chartOrder.empty() && position >= 0) {
    SelectChartRecord(chartOrder[std::min<size_t>(position, chartOrder.size() - 1)]);
  }
}

// An edit of the selected record; 0 when none is selected.
int AppWindow::EditOfSelected(LogEdit::Kind kind, LogEdit* edit) const {
  const LogRecord* selected = SelectedRecord();
  if (!selected)
    return 0;
  edit->kind = kind;
  edit->record = *selected;
  edit->occurrence = OccurrenceOf(chartLog.records, chartOrder[chartPosition]);
  edit->replacement = *selected;
  return 1;
}

void AppWindow::DeleteSelectedRecord() {
  LogEdit edit;
  if (EditOfSelected(LogEdit::Delete, &edit))
    CorrectLog(edit);
}

void AppWindow::ChangeSelectedRecord() {
  LogEdit edit;
  if (EditOfSelected(LogEdit::Change, &edit) &&
      AskForRecord(resources::kRecordChangeTitle, &edit.replacement) &&
      !SameRecord(edit.replacement, edit.record))
    CorrectLog(edit);
}

// The form starts at the current date and time, for the user selected or
// the one weighed last.
void AppWindow::AddRecordByHand() {
  struct tm now = {};
  (localTime != nullptr ? localTime : ReadLocalTime)(&now);
  LogEdit edit;
  edit.kind = LogEdit::Insert;
  const LogRecord* selected = SelectedRecord();
  edit.record.user = selected ? selected->user : currentUser;
  edit.record.year = static_cast<int16_t>(now.tm_year + 1900);
  edit.record.month = static_cast<int8_t>(now.tm_mon + 1);
  edit.record.day = static_cast<int8_t>(now.tm_mday);
  edit.record.hour = static_cast<int8_t>(now.tm_hour);
  edit.record.minute = static_cast<int8_t>(now.tm_min);
  edit.record.second = static_cast<int8_t>(now.tm_sec);
  edit.record.tenthsKg = selected ? selected->tenthsKg : 0;
  if (!AskForRecord(resources::kRecordAddTitle, &edit.record))
    return;
  if (!chartShown)
    ToggleChart();
  CorrectLog(edit);
}

// Undoing is a correction too, so a second undo redoes.
void AppWindow::UndoCorrection() {
  if (!canUndo)
    return;
  if (!chartShown)
    ToggleChart();
  CorrectLog(undoEdit);
}

void AppWindow::SelectChartRecord(int32_t index) {
  const auto found = std::find(chartOrder.begin(), chartOrder.end(), index);
  chartPosition = found == chartOrder.end() ? -1 : static_cast<int32_t>(found - chartOrder.begin());
}
