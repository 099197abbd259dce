// Reads arbitrary bytes as a compiled message catalogue, copied to an
// exactly sized buffer so that reading past its end is caught; a refused
// file leaves no translation behind. The same bytes, cut at every 0x01 into
// pairs of a text and its translation, are also written as a sound
// catalogue in the byte order the first byte picks, which must read back
// with every translation found.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/mo_catalogue.h"

namespace {

void Check(bool condition) {
  if (!condition)
    std::abort();
}

class MoWriter {
 public:
  explicit MoWriter(bool bigEndian) : bigEndian(bigEndian) {}

  std::string Write(const std::vector<std::pair<std::string, std::string>>& pairs) {
    const uint32_t count = static_cast<uint32_t>(pairs.size());
    const uint32_t originals = 28;
    const uint32_t translations = originals + 8 * count;
    uint32_t text = translations + 8 * count;
    for (uint32_t word : {0x950412deu, 0u, count, originals, translations, 0u, 0u})
      Word(word);
    std::string texts;
    for (int column = 0; column < 2; ++column) {
      for (const auto& pair : pairs) {
        const std::string& entry = column == 0 ? pair.first : pair.second;
        Word(static_cast<uint32_t>(entry.size()));
        Word(text);
        texts += entry;
        texts += '\0';
        text += static_cast<uint32_t>(entry.size()) + 1;
      }
    }
    return bytes + texts;
  }

 private:
  void Word(uint32_t word) {
    for (int i = 0; i < 4; ++i) {
      const int shift = bigEndian ? 24 - 8 * i : 8 * i;
      bytes += static_cast<char>(word >> shift & 0xFF);
    }
  }

  bool bigEndian;
  std::string bytes;
};

std::string FirstForm(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

void ReadBackWrittenCatalogue(std::string_view input) {
  std::vector<std::string> texts;
  size_t start = 0;
  for (size_t cut = input.find('\x01'); cut != std::string_view::npos;
       start = cut + 1, cut = input.find('\x01', start))
    texts.emplace_back(input.substr(start, cut - start));
  texts.emplace_back(input.substr(start));
  std::vector<std::pair<std::string, std::string>> pairs;
  std::map<std::string, std::string> expected;  // the first translation of a text counts
  for (size_t i = 0; i + 1 < texts.size(); i += 2) {
    pairs.emplace_back(texts[i], texts[i + 1]);
    if (!FirstForm(texts[i]).empty() && !FirstForm(texts[i + 1]).empty())
      expected.emplace(FirstForm(texts[i]), FirstForm(texts[i + 1]));
  }
  const bool bigEndian = !input.empty() && (input[0] & 1);
  MoCatalogue catalogue;
  Check(catalogue.Parse(MoWriter(bigEndian).Write(pairs)) == 1);
  for (const auto& pair : pairs) {
    const std::string text = FirstForm(pair.first);
    const auto known = expected.find(text);
    const char* found = catalogue.Find(text.c_str());
    if (known == expected.end())
      Check(found == nullptr);
    else
      Check(found != nullptr && known->second == found);
  }
  Check(catalogue.IsEmpty() == expected.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bytes = std::make_unique<char[]>(size);
  if (size != 0)
    std::memcpy(bytes.get(), data, size);
  const std::string_view input(bytes.get(), size);
  MoCatalogue catalogue;
  if (!catalogue.Parse(input))
    Check(catalogue.IsEmpty());
  ReadBackWrittenCatalogue(input);
  return 0;
}
