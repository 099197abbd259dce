#include <cstdlib>
#include <vector>

#include "demo/log_folder.h"

std::string MakeLogFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string folder =
      std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/gravimo-demo-XXXXXX";
  std::vector<char> name(folder.begin(), folder.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    return "";
  }
  return name.data();
}

void TellLogFolderInWindow(const std::string&, ProgramSetup&) {}
