#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_window.h"
#include "app/csv_export.h"
#include "platform/export_dialogs.h"
#include "resources/chart_texts.h"
#include "resources/tr.h"

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

// The whole log as CSV to a file the user picks; any records still waiting
// for the log file are tried first, so the export holds them when it can.
// The dialog opens where the log is, so a name the user keeps may be the
// log's own: the export refuses that and says so.
void AppWindow::ExportCsv() {
  const std::string path =
      AskForSavePath({Tr(resources::kCsvDialogTitle), LogFolder(), resources::kCsvDefaultName, 0});
  if (path.empty())
    return;
  WriteUnwrittenLog();
  CsvExportResult result;
  ExportLogAsCsv(logPath, path, &result);
  Tell(ExportMessage(result, path), result.failure != CsvExportResult::None);
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
