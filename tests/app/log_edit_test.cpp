// Corrections of the log made on its text: only the line concerned
// changes, and each correction's undo gives back the very same bytes.
#include <gtest/gtest.h>

#include <string>

#include "app/log_edit.h"
#include "app/log_reader.h"

namespace {

// Lines as users' logs hold them: LF and CR LF ends, a line that is not a
// record, two equal records, and a last line without a line end.
const std::string kOddLog =
    "log 0 2024-03-01 07:00:00  70.0\r\n"
    "a note\n"
    "log 1 2024-03-02 07:00:00  60.0\r\n"
    "log 0 2024-03-03 07:00:00  69.5\r\n"
    "log 1 2024-03-02 07:00:00  60.0\n"
    "log 0 2024-03-05 07:00:00 69.0";

LogRecord MarchRecord(int user, int day, int tenthsKg, int hour = 7) {
  LogRecord record;
  record.user = user;
  record.year = 2024;
  record.month = 3;
  record.day = static_cast<int8_t>(day);
  record.hour = static_cast<int8_t>(hour);
  record.tenthsKg = tenthsKg;
  return record;
}

std::string ApplyEdit(const std::string& text, const LogEdit& edit, LogEdit* undo) {
  std::string edited;
  EXPECT_EQ(ApplyLogEdit(text, edit, &edited, undo), 1);
  return edited;
}

// The edit, then its undo: the log is byte for byte what it was.
void ExpectUndoRestores(const std::string& edited, const LogEdit& undo) {
  LogEdit redo;
  EXPECT_EQ(ApplyEdit(edited, undo, &redo), kOddLog);
}

TEST(LogEditTest, DeleteTakesTheChosenOfEqualRecordsAndUndoPutsItBack) {
  LogEdit edit;
  edit.kind = LogEdit::Delete;
  edit.record = MarchRecord(1, 2, 600);
  edit.occurrence = 1;
  LogEdit undo;
  const std::string edited = ApplyEdit(kOddLog, edit, &undo);
  EXPECT_EQ(edited,
            "log 0 2024-03-01 07:00:00  70.0\r\n"
            "a note\n"
            "log 1 2024-03-02 07:00:00  60.0\r\n"
            "log 0 2024-03-03 07:00:00  69.5\r\n"
            "log 0 2024-03-05 07:00:00 69.0");
  ExpectUndoRestores(edited, undo);

  edit.occurrence = 2;
  std::string unchanged;
  EXPECT_EQ(ApplyLogEdit(kOddLog, edit, &unchanged, &undo), 0) << "only two such records";
}

TEST(LogEditTest, ChangeRewritesOneLineInTheLogsFormatAndKeepsItsLineEnd) {
  LogEdit edit;
  edit.kind = LogEdit::Change;
  edit.record = MarchRecord(0, 5, 690);  // the last line, written by hand without padding
  edit.replacement = MarchRecord(2, 5, 1005);
  LogEdit undo;
  std::string edited = ApplyEdit(kOddLog, edit, &undo);
  EXPECT_EQ(edited.substr(edited.rfind('\n') + 1), "log 2 2024-03-05 07:00:00 100.5");
  EXPECT_EQ(edited.substr(0, edited.rfind('\n') + 1), kOddLog.substr(0, kOddLog.rfind('\n') + 1));
  ExpectUndoRestores(edited, undo);

  edit.record = MarchRecord(1, 2, 600);
  edit.replacement = MarchRecord(1, 2, 612);
  edited = ApplyEdit(kOddLog, edit, &undo);
  EXPECT_NE(edited.find("log 1 2024-03-02 07:00:00  61.2\r\n"), std::string::npos);
  ExpectUndoRestores(edited, undo);
}

TEST(LogEditTest, InsertGoesAfterTheRecordsNotLaterThanIt) {
  LogEdit edit;
  edit.kind = LogEdit::Insert;
  edit.record = MarchRecord(3, 4, 555, 6);  // after every record but the last
  LogEdit undo;
  std::string edited = ApplyEdit(kOddLog, edit, &undo);
  const size_t lastLine = kOddLog.rfind('\n') + 1;
  EXPECT_EQ(edited, kOddLog.substr(0, lastLine) + "log 3 2024-03-04 06:00:00  55.5\r\n" +
                        kOddLog.substr(lastLine));
  ExpectUndoRestores(edited, undo);

  // The latest of all goes last, after a line end given to the last line.
  edit.record = MarchRecord(3, 9, 555);
  edited = ApplyEdit(kOddLog, edit, &undo);
  EXPECT_EQ(edited, kOddLog + "\r\nlog 3 2024-03-09 07:00:00  55.5\r\n");
  LogRecords read;
  ParseLog(edited.data(), edited.size(), &read);
  EXPECT_EQ(read.records.size(), 6u);

  edit.record = MarchRecord(3, 1, 555, 6);
  EXPECT_EQ(ApplyEdit("", edit, &undo), "log 3 2024-03-01 06:00:00  55.5\r\n");
  EXPECT_EQ(ApplyEdit("a note\nlog 0 2024-03-05 07:00:00  69.0\n", edit, &undo),
            "a note\nlog 3 2024-03-01 06:00:00  55.5\r\nlog 0 2024-03-05 07:00:00  69.0\n");
}

}  // namespace
