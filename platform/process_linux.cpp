#include "platform/process.h"

void PrepareProcess() {}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}
