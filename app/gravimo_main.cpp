// gravimo: the scale on the system's Wii Balance Boards.
//   gravimo                     the window
//   gravimo --export-csv FILE   writes the weight log as CSV to FILE, no window
// Other arguments are ignored, as they always were.
#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/documents.h"
#include "platform/process.h"
#include "resources/tr.h"

int main(int argc, char** argv) {
  SettleHomeFolder();
  InitTranslations();
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  if (arguments.size() >= 2 && arguments[1] == "--export-csv") {
    if (arguments.size() != 3 || arguments[2].empty()) {
      std::fprintf(stderr, "usage: gravimo --export-csv FILE\n");
      return kExitUsage;
    }
    return RunCsvExport(arguments[2].c_str());
  }
  ProgramSetup setup;
  setup.singleInstance = true;
  return RunProgram(setup);
}
