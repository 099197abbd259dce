#include <algorithm>
#include <cstring>
#include <string>

#include "platform/key_file.h"

namespace {

// Blanks as GLib counts them: a vertical tab is none, so a line that starts
// with one is no comment and a key may end in one.
constexpr char kBlanks[] = " \t\n\r\f";

bool IsSpace(char c) {
  return c != '\0' && std::strchr(kBlanks, c) != nullptr;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The position after the character at `at`. GLib steps through a line this
// way, so continuation bytes that follow any byte, even stray ones after an
// ASCII character, count as part of that character.
size_t NextCharacter(const std::string& text, size_t at) {
  ++at;
  while (at < text.size() && IsContinuationByte(text[at]))
    ++at;
  return at;
}

bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// Strict UTF-8 as GLib checks it: no overlong forms, no surrogates, nothing
// beyond U+10FFFF and no NUL.
bool IsUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead == 0)
      return false;
    const int more = lead < 0x80                   ? 0
                     : lead >= 0xC2 && lead < 0xE0 ? 1
                     : (lead & 0xF0) == 0xE0       ? 2
                     : lead >= 0xF0 && lead < 0xF5 ? 3
                                                   : -1;
    if (more < 0 || i + more >= text.size())
      return false;
    unsigned code = lead & (0x7F >> more);
    for (int k = 1; k <= more; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += more + 1;
  }
  return true;
}

bool IsUtf8Name(const std::string& name) {
  static const char kUtf8[] = "utf-8";
  if (name.size() != sizeof kUtf8 - 1)
    return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    if (c != kUtf8[i])
      return false;
  }
  return true;
}

// "[name]" with nothing but spaces and tabs after it. The name is then
// checked alone; as GLib takes it, it ends at the last ']' of the line even
// after a NUL.
bool IsGroupLine(const std::string& line, const std::string& whole, std::string* name) {
  if (line.empty() || line[0] != '[')
    return false;
  const size_t end = line.find(']');
  if (end == std::string::npos)
    return false;
  size_t rest = NextCharacter(line, end);
  while (rest < line.size() && (line[rest] == ' ' || line[rest] == '\t'))
    rest = NextCharacter(line, rest);
  if (rest < line.size())
    return false;
  *name = whole.substr(1, whole.rfind(']') - 1);
  return true;
}

bool IsGroupName(const std::string& name) {
  if (name.empty())
    return false;
  for (char c : name) {
    if (c == '[' || c == ']' || IsControl(c))
      return false;
  }
  return true;
}

bool IsLocaleChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '@';
}

// A key has no '=' or brackets, does not start or end with a space, and may
// end in a locale in brackets ("Name[de]"). The locale is read as ASCII:
// where GLib also takes letters and digits of other scripts, this reader
// refuses the file.
bool IsKeyName(const std::string& key) {
  size_t end = key.find_first_of("=[]");
  if (end == std::string::npos)
    end = key.size();
  if (end == 0 || key[0] == ' ' || key[end - 1] == ' ')
    return false;
  if (end == key.size())
    return true;
  if (key[end] != '[')
    return false;
  size_t close = end + 1;
  while (close < key.size() && IsLocaleChar(key[close]))
    close = NextCharacter(key, close);
  return close + 1 == key.size() && key[close] == ']';
}

// The character that an escape stands for, or 0 for an unknown escape.
char Escaped(char letter) {
  switch (letter) {
    case 's':
      return ' ';
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

// Resolves the escapes of a stored value. As GLib reads them, an unknown
// escape stays as written and a backslash at the very end is dropped.
std::string Unescape(const std::string& stored) {
  std::string value;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] != '\\') {
      value.push_back(stored[i]);
    } else if (i + 1 < stored.size()) {
      const char letter = stored[++i];
      if (Escaped(letter) != 0)
        value.push_back(Escaped(letter));
      else
        value.append({'\\', letter});
    }
  }
  return value;
}

}  // namespace

KeyFile::Group* KeyFile::Find(const std::string& name) {
  for (size_t i = 1; i < groups.size(); ++i) {
    if (groups[i].name == name)
      return &groups[i];
  }
  return nullptr;
}

// A key given twice counts with its last value, as GLib reads it.
const KeyFile::Line* KeyFile::FindKey(const char* group, const char* key) const {
  for (size_t i = 1; i < groups.size(); ++i) {
    if (groups[i].name != group)
      continue;
    for (auto line = groups[i].lines.rbegin(); line != groups[i].lines.rend(); ++line) {
      if (line->key == key)
        return &*line;
    }
  }
  return nullptr;
}

int KeyFile::ParseLine(const std::string& whole, std::string* error) {
  // GLib reads each line as a C string: a NUL ends it.
  const std::string line = whole.substr(0, whole.find('\0'));
  const size_t start = line.find_first_not_of(kBlanks);
  if (start == std::string::npos || line[start] == '#') {
    groups[current].lines.push_back({"", line});
    return 1;
  }
  const std::string text = line.substr(start);
  std::string name;
  if (IsGroupLine(text, whole.substr(start), &name)) {
    if (!IsGroupName(name)) {
      *error = "invalid group name " + name;
      return 0;
    }
    if (Group* known = Find(name)) {
      current = static_cast<size_t>(known - groups.data());
    } else {
      groups.push_back({name, {}});
      current = groups.size() - 1;
    }
    return 1;
  }
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    *error = "a line that is no key, group or comment: " + text;
    return 0;
  }
  if (current == 0) {
    *error = "a key before the first group";
    return 0;
  }
  size_t keyEnd = equals;
  while (keyEnd > 0 && IsSpace(text[keyEnd - 1]))
    --keyEnd;
  const std::string key = text.substr(0, keyEnd);
  if (!IsKeyName(key)) {
    *error = "invalid key name " + key;
    return 0;
  }
  const size_t valueStart = std::min(text.find_first_not_of(kBlanks, equals + 1), text.size());
  const std::string value = text.substr(valueStart);
  // A file that names its encoding in its first group must be UTF-8. GLib
  // compares the whole rest of the line here, a NUL and what follows it too.
  if (current == 1 && key == "Encoding" && !IsUtf8Name(whole.substr(start + valueStart))) {
    *error = "the encoding is " + value + ", not UTF-8";
    return 0;
  }
  groups[current].lines.push_back({key, value});
  return 1;
}

int KeyFile::Parse(const std::string& text, std::string* error) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos)
      end = text.size();
    else if (end > start && text[end - 1] == '\r')
      --end;
    if (!ParseLine(text.substr(start, end - start), error)) {
      *this = KeyFile();
      return 0;
    }
    start = next;
  }
  return 1;
}

int KeyFile::Get(const char* group, const char* key, std::string* value) const {
  const Line* line = FindKey(group, key);
  if (line == nullptr || !IsUtf8(line->value))
    return 0;
  *value = Unescape(line->value);
  return 1;
}

void KeyFile::Set(const char* group, const char* key, const std::string& value) {
  if (const Line* line = FindKey(group, key)) {
    const_cast<Line*>(line)->value = value;
    return;
  }
  Group* target = Find(group);
  if (target == nullptr) {
    groups.push_back({group, {}});
    target = &groups.back();
  }
  target->lines.push_back({key, value});
}

std::string KeyFile::Text() const {
  std::string text;
  for (const Group& group : groups) {
    if (text.size() >= 2 && text[text.size() - 2] != '\n')
      text += '\n';
    if (!group.name.empty())
      text += "[" + group.name + "]\n";
    for (const Line& line : group.lines)
      text += line.key.empty() ? line.value + "\n" : line.key + "=" + line.value + "\n";
  }
  return text;
}
