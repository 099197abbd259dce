#include "resources/mo_catalogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The build's English catalogue, as msgfmt wrote it.
std::string EnglishCatalogue() {
  std::ifstream file(GRAVIMO_TEST_LOCALE_DIR "/en/LC_MESSAGES/gravimo.mo", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t Word(const std::string& bytes, size_t offset) {
  uint32_t word;
  std::memcpy(&word, bytes.data() + offset, 4);
  return word;
}

void SetWord(std::string& bytes, size_t offset, uint32_t word) {
  std::memcpy(bytes.data() + offset, &word, 4);
}

uint32_t Swapped(uint32_t w) {
  return (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
}

// The same catalogue as a machine of the other byte order writes it.
std::string OtherByteOrder(std::string bytes) {
  const uint32_t count = Word(bytes, 8);
  const uint32_t originals = Word(bytes, 12);
  const uint32_t translations = Word(bytes, 16);
  for (size_t offset = 0; offset < 28; offset += 4)
    SetWord(bytes, offset, Swapped(Word(bytes, offset)));
  for (uint32_t table : {originals, translations}) {
    for (size_t offset = table; offset < table + 8ull * count; offset += 4)
      SetWord(bytes, offset, Swapped(Word(bytes, offset)));
  }
  return bytes;
}

TEST(MoCatalogue, ReadsWhatMsgfmtWroteInEitherByteOrder) {
  const std::string bytes = EnglishCatalogue();
  ASSERT_GT(bytes.size(), 28u);
  for (const std::string& file : {bytes, OtherByteOrder(bytes)}) {
    MoCatalogue catalogue;
    ASSERT_EQ(catalogue.Parse(file), 1);
    EXPECT_STREQ(catalogue.Find("0kg調整中"), "Zeroing");
    EXPECT_STREQ(catalogue.Find("残り %d 秒"), "%d s left");
    EXPECT_EQ(catalogue.Find("no such text"), nullptr);
    EXPECT_EQ(catalogue.Find(""), nullptr);  // the header is no translation
  }
}

TEST(MoCatalogue, DamagedFilesGiveNoCatalogue) {
  const std::string bytes = EnglishCatalogue();
  ASSERT_GT(bytes.size(), 28u);
  MoCatalogue catalogue;
  ASSERT_EQ(catalogue.Parse(bytes), 1);
  // Cut anywhere, the last text loses its end.
  for (size_t length = 0; length < bytes.size(); length += 61) {
    EXPECT_EQ(catalogue.Parse(bytes.substr(0, length)), 0) << length;
    EXPECT_TRUE(catalogue.IsEmpty());
  }
  std::string damaged = bytes;
  damaged[0] = 'x';  // not a catalogue
  EXPECT_EQ(catalogue.Parse(damaged), 0);
  damaged = bytes;
  SetWord(damaged, 8, 0x20000000);  // more texts than the file holds
  EXPECT_EQ(catalogue.Parse(damaged), 0);
  damaged = bytes;
  SetWord(damaged, 16, 0xFFFFFFF8);  // the table beyond the end
  EXPECT_EQ(catalogue.Parse(damaged), 0);
  const uint32_t lastText = Word(bytes, 16) + 8 * (Word(bytes, 8) - 1);
  damaged = bytes;
  SetWord(damaged, lastText + 4, static_cast<uint32_t>(bytes.size()) - 2);  // runs past the end
  EXPECT_EQ(catalogue.Parse(damaged), 0);
  damaged = bytes;
  SetWord(damaged, lastText, 0xFFFFFFFF);  // a length that wraps around
  EXPECT_EQ(catalogue.Parse(damaged), 0);
  damaged = bytes;
  damaged[Word(bytes, lastText + 4) + Word(bytes, lastText)] = 'x';  // no terminating zero
  EXPECT_EQ(catalogue.Parse(damaged), 0);
}

}  // namespace
