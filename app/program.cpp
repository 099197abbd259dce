#include "app/program.h"

#include <cstddef>
#include <cstdio>

#include "app/app_window.h"
#include "app/csv_export.h"
#include "platform/documents.h"
#include "platform/process.h"
#include "resources/tr.h"
#include "support/memory.h"
#include "window/message_loop.h"

namespace {

constexpr std::size_t kHeapGrowth = 0x400000;

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
  window->Show();
  window->Setup();
  // Waiting messages always go first; a frame runs only on an empty queue
  // and ends with its own pause.
  while (!DrainMessages(nullptr)) {
    window->RenderFrame();
  }
  window->Cleanup();
  delete window;
  return 0;
}

}  // namespace

int RunProgram(const ProgramSetup& setup) {
  PrepareProcess();
  theMemory.Init(0, kHeapGrowth);
  const int status = RunMainWindow(setup);
  theMemory.Shutdown();
  return status;
}

int RunCsvExport(const char* destination) {
  const std::string logPath = ChooseLogLocation().path;
  CsvExportResult result;
  if (ExportLogAsCsv(logPath, destination, &result)) {
    std::printf("gravimo: %s\n", DescribeCsvExport(result, destination).c_str());
    return 0;
  }
  std::fprintf(stderr, "gravimo: %s\n", result.error.c_str());
  return result.failure == CsvExportResult::NoLog ? kExitNoLog : kExitCannotWrite;
}
