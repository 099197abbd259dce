#include "app/log_edit.h"

#include "app/log_reader.h"

namespace {

constexpr char kNewLineEnd[] = "\r\n";

int ParseLine(const std::string& text, const TextLine& line, LogRecord* record) {
  return ParseLogLine(text.data() + line.begin, text.data() + line.textEnd, record);
}

// The line of the occurrence-th record equal to record, or -1.
int32_t FindLine(const std::string& text, const std::vector<TextLine>& lines,
                 const LogRecord& record, int32_t occurrence) {
  LogRecord read;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (ParseLine(text, lines[i], &read) && SameRecord(read, record) && occurrence-- == 0)
      return static_cast<int32_t>(i);
  }
  return -1;
}

// How many records equal to record the lines before `line` hold.
int32_t CountBefore(const std::string& text, const std::vector<TextLine>& lines, size_t line,
                    const LogRecord& record) {
  int32_t count = 0;
  LogRecord read;
  for (size_t i = 0; i < line && i < lines.size(); ++i)
    count += ParseLine(text, lines[i], &read) && SameRecord(read, record);
  return count;
}

// After the last record that is not later than record; before the first
// record when all are later; at the end of a log without records.
size_t PlaceInTime(const std::string& text, const std::vector<TextLine>& lines,
                   const LogRecord& record) {
  size_t place = lines.size();
  bool seenRecord = false;
  LogRecord read;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!ParseLine(text, lines[i], &read))
      continue;
    if (read.Moment() <= record.Moment()) {
      place = i + 1;
    } else if (!seenRecord) {
      place = i;
    }
    seenRecord = true;
  }
  return place;
}

std::string LineText(const LogEdit& edit, const LogRecord& record) {
  return edit.lineText.empty() ? "log " + RecordText(record) : edit.lineText;
}

// The line of the edit's record, or 0 when the text has no such record.
int FindEditedLine(const std::string& text, const LogEdit& edit, TextLine* line, int32_t* index) {
  const std::vector<TextLine> lines = SplitLines(text);
  *index = FindLine(text, lines, edit.record, edit.occurrence);
  if (*index < 0)
    return 0;
  *line = lines[static_cast<size_t>(*index)];
  return 1;
}

int Delete(const std::string& text, const LogEdit& edit, std::string* edited, LogEdit* undo) {
  TextLine line;
  int32_t index = 0;
  if (!FindEditedLine(text, edit, &line, &index))
    return 0;
  *edited = text.substr(0, line.begin) + text.substr(line.end);
  *undo = {};
  undo->kind = LogEdit::Insert;
  undo->record = edit.record;
  undo->line = index;
  undo->lineText = text.substr(line.begin, line.end - line.begin);
  return 1;
}

int Change(const std::string& text, const LogEdit& edit, std::string* edited, LogEdit* undo) {
  TextLine line;
  int32_t index = 0;
  if (!FindEditedLine(text, edit, &line, &index))
    return 0;
  *edited =
      text.substr(0, line.begin) + LineText(edit, edit.replacement) + text.substr(line.textEnd);
  *undo = {};
  undo->kind = LogEdit::Change;
  undo->record = edit.replacement;
  undo->occurrence =
      CountBefore(*edited, SplitLines(*edited), static_cast<size_t>(index), edit.replacement);
  undo->replacement = edit.record;
  undo->lineText = text.substr(line.begin, line.textEnd - line.begin);
  return 1;
}

// A last line without a line end gets one first, so the new line stands
// on its own.
int Insert(const std::string& text, const LogEdit& edit, std::string* edited, LogEdit* undo) {
  const std::vector<TextLine> lines = SplitLines(text);
  size_t index = edit.line >= 0 && static_cast<size_t>(edit.line) <= lines.size()
                     ? static_cast<size_t>(edit.line)
                     : PlaceInTime(text, lines, edit.record);
  const size_t at = index < lines.size() ? lines[index].begin : text.size();
  std::string before = text.substr(0, at);
  if (!before.empty() && before.back() != '\n')
    before += kNewLineEnd;
  std::string line =
      edit.lineText.empty() ? LineText(edit, edit.record) + kNewLineEnd : edit.lineText;
  if (at < text.size() && line.back() != '\n')
    line += kNewLineEnd;
  *edited = before + line + text.substr(at);
  *undo = {};
  undo->kind = LogEdit::Delete;
  undo->record = edit.record;
  undo->occurrence = CountBefore(text, lines, index, edit.record);
  return 1;
}

}  // namespace

bool SameRecord(const LogRecord& a, const LogRecord& b) {
  return a.user == b.user && a.year == b.year && a.month == b.month && a.day == b.day &&
         a.hour == b.hour && a.minute == b.minute && a.second == b.second &&
         a.tenthsKg == b.tenthsKg;
}

int32_t OccurrenceOf(const std::vector<LogRecord>& records, size_t index) {
  int32_t count = 0;
  for (size_t i = 0; i < index && i < records.size(); ++i)
    count += SameRecord(records[i], records[index]);
  return count;
}

int32_t FindRecord(const std::vector<LogRecord>& records, const LogRecord& record,
                   int32_t occurrence) {
  for (size_t i = 0; i < records.size(); ++i) {
    if (SameRecord(records[i], record) && occurrence-- == 0)
      return static_cast<int32_t>(i);
  }
  return -1;
}

int ApplyLogEdit(const std::string& text, const LogEdit& edit, std::string* edited, LogEdit* undo) {
  switch (edit.kind) {
    case LogEdit::Delete:
      return Delete(text, edit, edited, undo);
    case LogEdit::Change:
      return Change(text, edit, edited, undo);
    case LogEdit::Insert:
      return Insert(text, edit, edited, undo);
  }
  return 0;
}
