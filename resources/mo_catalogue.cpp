#include "resources/mo_catalogue.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kMagic = 0x950412de;
constexpr uint32_t kSwappedMagic = 0xde120495;
constexpr size_t kHeaderSize = 28;

// Reads the file's 32-bit words in the byte order its magic number shows.
class WordReader {
 public:
  explicit WordReader(std::string_view bytes) : bytes(bytes) {}

  bool Start() {
    if (bytes.size() < kHeaderSize)
      return false;
    const uint32_t magic = Raw(0);
    if (magic != kMagic && magic != kSwappedMagic)
      return false;
    swapped = magic == kSwappedMagic;
    return true;
  }

  // The word at `offset`, which the caller has checked lies in the file.
  uint32_t At(uint64_t offset) const {
    const uint32_t word = Raw(offset);
    if (!swapped)
      return word;
    return (word >> 24) | ((word >> 8) & 0xFF00) | ((word << 8) & 0xFF0000) | (word << 24);
  }

  bool Holds(uint64_t offset, uint64_t length) const {
    return offset <= bytes.size() && length <= bytes.size() - offset;
  }

  // The text that an entry of a table at `table` describes: `length` bytes
  // at `offset` followed by a terminating zero, all inside the file.
  bool Text(uint64_t table, uint32_t index, std::string_view& text) const {
    const uint64_t entry = table + 8ull * index;
    const uint32_t length = At(entry);
    const uint32_t offset = At(entry + 4);
    if (!Holds(offset, uint64_t{length} + 1) || bytes[offset + length] != '\0')
      return false;
    text = bytes.substr(offset, length);
    return true;
  }

 private:
  uint32_t Raw(uint64_t offset) const {
    uint32_t word;
    std::memcpy(&word, bytes.data() + offset, sizeof word);
    return word;
  }

  std::string_view bytes;
  bool swapped = false;
};

// A plural entry holds its forms one after another, each ending in a zero;
// a text's lookup and its translation are the first of them.
std::string FirstForm(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace

int MoCatalogue::Parse(std::string_view bytes) {
  translations.clear();
  WordReader reader(bytes);
  if (!reader.Start())
    return 0;
  const uint32_t count = reader.At(8);
  const uint32_t originals = reader.At(12);
  const uint32_t translated = reader.At(16);
  if (!reader.Holds(originals, 8ull * count) || !reader.Holds(translated, 8ull * count))
    return 0;
  std::unordered_map<std::string, std::string> read;
  for (uint32_t i = 0; i < count; ++i) {
    std::string_view original;
    std::string_view translation;
    if (!reader.Text(originals, i, original) || !reader.Text(translated, i, translation))
      return 0;
    // The empty text's translation is the catalogue's header, not a text;
    // an empty translation would hide its source. A plural entry counts by
    // its first form, the one that is looked up and shown.
    std::string text = FirstForm(original);
    std::string shown = FirstForm(translation);
    if (!text.empty() && !shown.empty())
      read.emplace(std::move(text), std::move(shown));
  }
  translations = std::move(read);
  return 1;
}

const char* MoCatalogue::Find(const char* msgid) const {
  const auto found = translations.find(msgid);
  return found == translations.end() ? nullptr : found->second.c_str();
}
