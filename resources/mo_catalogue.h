#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

// The translations of one compiled message catalogue (a GNU .mo file),
// read from its bytes. A file that is damaged anywhere (too short, an
// unknown magic number, a table or a text outside the file) gives no
// catalogue at all: its texts then show as written in the source.
class MoCatalogue {
 public:
  // Takes the translations from the bytes of a .mo file, in either byte
  // order: 1 on success, 0 when the bytes are not a sound catalogue (the
  // catalogue is then empty).
  int Parse(std::string_view bytes);
  // The translation of `msgid`, or null when the catalogue has none. Valid
  // as long as the catalogue.
  const char* Find(const char* msgid) const;
  bool IsEmpty() const { return translations.empty(); }

 private:
  std::unordered_map<std::string, std::string> translations;
};
