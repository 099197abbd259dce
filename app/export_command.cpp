#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_window.h"
#include "app/csv_export.h"
#include "app/log_reader.h"
#include "platform/export_dialogs.h"
#include "resources/chart_texts.h"
#include "resources/record_texts.h"
#include "resources/tr.h"
#include "window/form_dialog.h"

namespace {

// printf-style into a string; texts here are short.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

const char* FailureHeadline(CsvExportResult::Failure failure) {
  switch (failure) {
    case CsvExportResult::NoLog:
      return resources::kCsvNoLog;
    case CsvExportResult::IsTheLog:
      return resources::kCsvIsTheLog;
    default:
      return resources::kCsvCannotWrite;
  }
}

// What the user reads after an export: the count and the file, or what
// failed with the system's reason.
std::string ExportMessage(const CsvExportResult& result, const std::string& path) {
  if (result.failure == CsvExportResult::None) {
    std::string text = Format(Tr(resources::kCsvDone), result.records, path.c_str());
    if (result.skippedLines > 0)
      text.append("\n").append(Format(Tr(resources::kCsvSkipped), result.skippedLines));
    return text;
  }
  std::string text = Tr(FailureHeadline(result.failure));
  return text.append("\n").append(result.error);
}

}  // namespace

// The log as CSV to a file the user picks, after what to write: whose
// records, which unit, a BMI column. Any records still waiting for the log
// file are tried first, so the export holds them when it can. The dialog
// opens where the log is, so a name the user keeps may be the log's own:
// the export refuses that and says so.
void AppWindow::ExportCsv() {
  FormQuestion form = Form(Tr(resources::kCsvDialogTitle));
  form.fields = {
      {Tr(resources::kCsvExportUser), "", {Tr(resources::kCsvExportAll)}, 0},
      {Tr(resources::kCsvExportUnit), "", {"kg", "lb"}, settings.unit != WeightUnit::Kilograms},
      {Tr(resources::kCsvExportBmi), "", {Tr(resources::kCsvNo), Tr(resources::kCsvYes)}, 0}};
  for (int user = 0; user < kUsers; ++user)
    form.fields[0].choices.push_back(UserLabel(userNames, user));
  if (!AskFormDialog(&form))
    return;
  const std::string path =
      AskForSavePath({Tr(resources::kCsvDialogTitle), LogFolder(), resources::kCsvDefaultName, 0});
  if (path.empty())
    return;
  WriteUnwrittenLog();
  CsvExportOptions options;
  options.user = form.fields[0].choice - 1;
  options.pounds = form.fields[1].choice == 1;
  options.bmi = form.fields[2].choice == 1;
  options.heightsMm = userHeightsMm;
  CsvExportResult result;
  ExportLogAsCsv(logPath, path, &result, options);
  Tell(ExportMessage(result, path), result.failure != CsvExportResult::None);
}

// The counts shown are those of the user chosen: when another choice
// changes them, the form asks again with the new counts.
void AppWindow::ImportCsv() {
  const char* title = Tr(resources::kCsvImportTitle);
  const std::string path =
      askOpenPath ? askOpenPath(title) : AskOpenPath(GetHandle(), title, LogFolder());
  if (path.empty())
    return;
  WriteUnwrittenLog();
  std::string csv;
  LogRecords log;
  CsvImport import;
  std::string why;
  const bool read = ReadFileText(path, &csv);
  if (read && !ReadLogFile(logPath, &log))
    log = {};
  const int offset = read && ParseCsvImport(csv, -1, log, &import, &why) ? 1 : 0;
  int user = offset ? -1 : currentUser;
  if (!read || !ParseCsvImport(csv, user, log, &import, &why)) {
    Tell(std::string(Tr(resources::kCsvCannotImport)) + "\n" + path + ": " +
             (read ? why : std::strerror(errno)),
         1);
    return;
  }
  FormQuestion form = Form(title);
  form.fields = {{Tr(resources::kCsvImportUser), "", {}, user + offset}};
  if (offset)
    form.fields[0].choices.push_back(Tr(resources::kCsvImportAsInFile));
  for (int u = 0; u < kUsers; ++u)
    form.fields[0].choices.push_back(UserLabel(userNames, u));
  for (;;) {
    form.note = Format(Tr(resources::kCsvImportPreview), static_cast<int>(import.records.size()),
                       import.duplicates, import.unreadable);
    if (!AskFormDialog(&form))
      return;
    const int chosen = form.fields[0].choice - offset;
    CsvImport counted;
    ParseCsvImport(csv, chosen, log, &counted, &why);
    const bool same = chosen == user;
    user = chosen;
    import = counted;
    if (same)
      break;
  }
  CsvImportResult result;
  ImportCsvIntoLog(logPath, path, user, &result);
  LoadHistory();
  if (chartShown)
    ReloadChart();
  if (result.failure == CsvImportResult::None) {
    Tell(Format(Tr(resources::kCsvImported), static_cast<int>(result.import.records.size()),
                path.c_str()),
         0);
  } else {
    Tell(std::string(Tr(resources::kCsvCannotImport)) + "\n" + result.error, 1);
  }
}

FormQuestion AppWindow::Form(const char* title) const {
  FormQuestion form;
  form.title = title;
  form.acceptButton = Tr(resources::kRecordAccept);
  form.cancelButton = Tr(resources::kRecordCancel);
  return form;
}

int AppWindow::AskFormDialog(FormQuestion* form) {
  return askForm ? askForm(form) : AskForm(GetHandle(), form);
}

// Records that the log did not take, saved by the log's own writer: added
// to the end of the file picked, so nothing it holds is lost.
void AppWindow::OfferToSaveUnwritten() {
  while (!unwrittenLog.empty()) {
    const int count = static_cast<int>(unwrittenLog.size());
    if (!AskWhetherToSaveElsewhere(Format(Tr(resources::kUnwrittenText), count, logPath.c_str())))
      return;
    const std::string path = AskForSavePath(
        {Tr(resources::kUnwrittenSaveTitle), LogFolder(), resources::kUnwrittenDefaultName, 1});
    if (path.empty())
      continue;
    if (AppendUnwritten(path)) {
      Tell(Format(Tr(resources::kUnwrittenSaved), count, path.c_str()), 0);
    } else {
      const std::string reason = std::strerror(errno != 0 ? errno : EIO);
      Tell(std::string(Tr(resources::kUnwrittenNotSaved)) + "\n" + path + ": " + reason, 1);
    }
  }
}

// A Windows path parts its folders with backslashes.
std::string AppWindow::LogFolder() const {
  return logPath.substr(0, logPath.find_last_of("/\\") + 1);
}

std::string AppWindow::AskForSavePath(const SaveQuestion& question) {
  return askSavePath ? askSavePath(question) : AskSavePath(GetHandle(), question);
}

void AppWindow::Tell(const std::string& text, int isError) {
  if (showMessage) {
    showMessage(text, isError);
  } else {
    ShowExportMessage(GetHandle(), text, isError);
  }
}

// A window object without a window (the snapshot program, tests) has nobody
// to ask.
int AppWindow::AskWhetherToSaveElsewhere(const std::string& text) {
  if (askToSaveElsewhere)
    return askToSaveElsewhere(text);
  return GetHandle() != nullptr && AskToSaveElsewhere(GetHandle(), text);
}
