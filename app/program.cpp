#include "app/program.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/app_window.h"
#include "app/csv_export.h"
#include "app/settings.h"
#include "platform/documents.h"
#include "platform/process.h"
#include "platform/replace_file.h"
#include "platform/single_instance.h"
#include "resources/tr.h"
#include "support/memory.h"
#include "window/message_loop.h"

namespace {

constexpr std::size_t kHeapGrowth = 0x400000;

// What an activation by another copy does: nothing until the window exists.
std::function<void()> bringToFront;

int RunMainWindow(const ProgramSetup& setup) {
  if (!InitWindowSystem()) {
    std::fprintf(stderr, "%s", Tr("gravimo: cannot open the display\n"));
    return kExitNoDisplay;
  }
  AppWindow* window = new AppWindow(nullptr);
  if (window == nullptr) {
    // The heap has already said why on the debug output.
    return kExitNoMemory;
  }
  window->createWiiLib = setup.createWiiLib;
  window->firstPresent = setup.firstPresent;
  if (!setup.logPath.empty()) {
    window->logPath = setup.logPath;
  }
  if (!setup.windowTitle.empty()) {
    window->title = setup.windowTitle;
  }
  window->Create();
  // Another copy that starts from now on brings this window to the front,
  // from this thread's message loop.
  bringToFront = [window] { BringToFront(window->GetHandle()); };
  window->Show();
  window->Setup();
  // Waiting messages always go first; a frame runs only on an empty queue
  // and ends with its own pause.
  while (!DrainMessages(nullptr)) {
    window->RenderFrame();
  }
  bringToFront = nullptr;
  window->Cleanup();
  delete window;
  return 0;
}

}  // namespace

int RunProgram(const ProgramSetup& setup) {
  PrepareProcess();
  if (setup.singleInstance && !ClaimSingleInstance([] {
        if (bringToFront)
          bringToFront();
      })) {
    std::fprintf(stderr, "%s",
                 Tr("gravimo: already running; its window was brought to the front\n"));
    return 0;
  }
  theMemory.Init(0, kHeapGrowth);
  const int status = RunMainWindow(setup);
  theMemory.Shutdown();
  ReleaseSingleInstance();
  return status;
}

int RunCsvImport(const char* source, int user) {
  const std::string logPath = ChooseLogLocation().path;
  CsvImportResult result;
  if (ImportCsvIntoLog(logPath, source, user, &result)) {
    std::printf("gravimo: %s\n", DescribeCsvImport(result, source).c_str());
    return 0;
  }
  std::fprintf(stderr, "gravimo: %s\n", result.error.c_str());
  return result.failure == CsvImportResult::CannotRead ? kExitNoLog : kExitCannotWrite;
}

// The report goes to standard error when the CSV itself goes to standard
// output, so that a pipe receives the CSV alone.
int RunCsvExport(const char* destination, const CsvExportOptions& options) {
  const std::string logPath = ChooseLogLocation().path;
  CsvExportResult result;
  // The body-mass index needs the users' heights from the settings.
  Settings settings;
  LoadSettings(UserSettingsFolder(), &settings);
  int32_t heightsMm[kUsers] = {};
  for (int user = 0; user < kUsers; ++user)
    heightsMm[user] = settings.users[user].heightMm;
  CsvExportOptions withHeights = options;
  withHeights.heightsMm = heightsMm;
  if (ExportLogAsCsv(logPath, destination, &result, withHeights)) {
    const bool toOutput = IsSameFile(destination, "-");
    const std::string where = std::strcmp(destination, "-") == 0 ? "standard output" : destination;
    std::fprintf(toOutput ? stderr : stdout, "gravimo: %s\n",
                 DescribeCsvExport(result, where).c_str());
    return 0;
  }
  std::fprintf(stderr, "gravimo: %s\n", result.error.c_str());
  return result.failure == CsvExportResult::NoLog ? kExitNoLog : kExitCannotWrite;
}
