#include <cstdio>
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

// What the user reads after an export: the count and the file, or what
// failed with the system's reason.
std::string ExportMessage(const CsvExportResult& result, const std::string& path) {
  if (result.failure == CsvExportResult::None) {
    std::string text = Format(Tr(resources::kCsvDone), result.records, path.c_str());
    if (result.skippedLines > 0)
      text.append("\n").append(Format(Tr(resources::kCsvSkipped), result.skippedLines));
    return text;
  }
  const char* headline =
      result.failure == CsvExportResult::NoLog ? resources::kCsvNoLog : resources::kCsvCannotWrite;
  std::string text = Tr(headline);
  return text.append("\n").append(result.error);
}

}  // namespace

// The whole log as CSV to a file the user picks; any records still waiting
// for the log file are tried first, so the export holds them when it can.
void AppWindow::ExportCsv() {
  // The dialog opens where the log is, normally the documents folder; a
  // Windows path parts its folders with backslashes.
  const std::string logFolder = logPath.substr(0, logPath.find_last_of("/\\") + 1);
  const std::string path = AskSavePath(GetHandle(), Tr(resources::kCsvDialogTitle), logFolder,
                                       resources::kCsvDefaultName);
  if (path.empty())
    return;
  WriteUnwrittenLog();
  CsvExportResult result;
  ExportLogAsCsv(logPath, path, &result);
  ShowExportMessage(GetHandle(), ExportMessage(result, path),
                    result.failure != CsvExportResult::None);
}
