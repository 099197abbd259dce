#pragma once

#include <string>
#include <vector>

// The settings file's syntax read and written without GLib, for Windows:
// "[Group]" lines, "Key=value" lines, and comments ("#" lines) and blank
// lines, which are kept where they were. It accepts and rejects what GLib's
// key file does and writes the same text, so a settings file moves between
// the Linux and the Windows program unchanged. One difference is kept: the
// locale of a key ("Name[de]") is read as ASCII, so a letter of another
// script there, which GLib takes, makes the file refused.
class KeyFile {
 public:
  // Reads text (lines end in LF or CR LF) into an empty key file. 0 when the
  // text is not a key file, with the reason in *error; the key file is then
  // left empty.
  int Parse(const std::string& text, std::string* error);

  // The value of key in group with its escapes (\s \n \t \r \\) resolved;
  // 0 when the key is missing or its value is not valid text.
  int Get(const char* group, const char* key, std::string* value) const;
  // Sets key in group, adding the group at the end or the key at the end of
  // its group when missing. The value is written as given: a plain word.
  void Set(const char* group, const char* key, const std::string& value);

  // The whole file as text, groups parted by a blank line.
  std::string Text() const;

 private:
  struct Line {
    std::string key;  // empty for a comment or blank line, kept as written
    std::string value;
  };
  struct Group {
    std::string name;
    std::vector<Line> lines;
  };

  Group* Find(const std::string& name);
  const Line* FindKey(const char* group, const char* key) const;
  int ParseLine(const std::string& line, std::string* error);

  // The first group, without a name, holds the lines above the first header.
  std::vector<Group> groups{Group{}};
  size_t current = 0;  // the group that the next key line belongs to
};
