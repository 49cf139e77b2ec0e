// Contact entry at the grid, driven through the real event loop: typing in
// each column, moving and paging, the commit with Enter and the numbering of
// the sent exchange, removing the last row, cycling and stamping.
#include <string>
#include <vector>

#include "tests/entry_script.h"

namespace {

using GridTest = EntryTest;

// A report of `count` rows: row i has the call C<i> (three digits).
std::vector<Qso> NumberedRows(int count) {
  std::vector<Qso> rows;
  for (int i = 1; i <= count; ++i) {
    const std::string n = AlignRight(DecimalText(i), 3, '0');
    rows.push_back({"14200", "CW", "2010-03-06", "10:00", "C" + n, "599" + n, "599001"});
  }
  return rows;
}

TEST_F(GridTest, TypingKeepsEachColumnsLimitAndCharacters) {
  const struct {
    const char* name;
    int rightMoves;  // from the call-sign column (4); negative: to the left
    std::vector<int> keys;
    std::string want;
  } kCases[] = {
      {"time takes five with the colon", -3, {'1', '2', '3', '4', '5'}, "12:34"},
      {"time refuses letters and space", -3, {'1', 'A', ' ', '2', 'Z', '3'}, "12:3"},
      {"time takes keypad digits", -3, {97, 98, 99, 105}, "12:39"},
      {"band digits only, four", -2, {'1', 'A', '4', '2', '0', '0'}, "1420"},
      {"mode two characters", -1, {'C', 'W', 'X'}, "CW"},
      {"call nine characters", 0, {'U', 'A', '1', 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, "UA1ABCDEF"},
      {"call takes a space", 0, {'R', ' ', '3'}, "R 3"},
      {"sent ten characters",
       1,
       {'5', '9', '9', '0', '0', '1', 'M', 'O', 'S', 'K', 'X'},
       "599001MOSK"},
      {"received keypad digits as digits", 2, {96, 101, 'A'}, "05A"},
      {"points digits only, four", 3, {'1', 'A', '2', ' ', '3', '4', '5'}, "1234"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Restart();
    Prepare({{"", "", "", "", "", "", ""}});
    Start();
    Keys({kVkPageDown});  // read reports put the cursor in column 1
    for (int i = 1; i < 4 + c.rightMoves; ++i) Keys({kVkRight});
    for (int key : c.keys) headless::QueueKey(key);
    Run();
    const int column = 4 + c.rightMoves;
    EXPECT_EQ(Log.CurrentColumn, column);
    EXPECT_EQ(Field(1, column), c.want);
    EXPECT_EQ(Cell(1, column), c.want);
    // Every key reaches the report at once (points stay out of the file).
    Qso q;
    std::string* fields[] = {nullptr, &q.time, &q.band, &q.mode, &q.call, &q.sent, &q.received};
    if (column <= 6) *fields[column] = c.want;
    ASSERT_EQ(FileQsoLines().size(), 1u);
    EXPECT_EQ(FileQsoLines()[0], QsoLine(q));
  }
}

TEST_F(GridTest, BackspaceTakesTheColonWithItsDigit) {
  Start();
  Keys({kVkLeft, kVkLeft, kVkLeft});
  Type("12345");
  Run();
  ASSERT_EQ(Cell(1, 1), "12:34");
  for (const char* want : {"12:3", "12:", "1", "", ""}) {
    SCOPED_TRACE(want);
    Keys({kVkBackspace});
    Run();
    EXPECT_EQ(Field(1, kColTime), want);
    EXPECT_EQ(Cell(1, 1), want);
  }
}

TEST_F(GridTest, TabTogglesBetweenCallAndReceived) {
  const struct {
    int from, want;
  } kCases[] = {{1, 4}, {2, 4}, {3, 4}, {4, 6}, {5, 4}, {6, 4}, {7, 4}};
  Start();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.from);
    for (int i = 0; i < 6; ++i) Keys({kVkLeft});
    for (int i = 1; i < c.from; ++i) Keys({kVkRight});
    Keys({kVkTab});
    Run();
    EXPECT_EQ(Log.CurrentColumn, c.want);
    // The current-cell colours move with the cursor.
    EXPECT_EQ(headless::Control(CellId(1, c.want))->backColour, AppSettings.Background);
    EXPECT_EQ(headless::Control(CellId(1, c.from))->backColour, AppSettings.ColorText);
  }
}

TEST_F(GridTest, ArrowsAndPagesScrollAHundredRows) {
  Prepare(NumberedRows(100));
  Start();
  const struct {
    const char* name;
    int key;
    int top, row, column;
  } kSteps[] = {
      {"left at column 1 stays", kVkLeft, 0, 1, 1},
      {"up at the top stays", kVkUp, 0, 1, 1},
      {"down", kVkDown, 0, 2, 1},
      {"page down to grid row 30", kVkPageDown, 0, 30, 1},
      {"page down scrolls 29", kVkPageDown, 29, 30, 1},
      {"again", kVkPageDown, 58, 30, 1},
      {"down at row 30 scrolls one", kVkDown, 59, 30, 1},
      {"and one more", kVkDown, 60, 30, 1},
      {"page down stops at the end: 70", kVkPageDown, 70, 30, 1},
      {"page down at the end stays", kVkPageDown, 70, 30, 1},
      {"down at the end stays", kVkDown, 70, 30, 1},
      {"page up to grid row 1", kVkPageUp, 70, 1, 1},
      {"page up scrolls 29", kVkPageUp, 41, 1, 1},
      {"up at grid row 1 scrolls one", kVkUp, 40, 1, 1},
      {"page up", kVkPageUp, 11, 1, 1},
      {"page up stops at 0", kVkPageUp, 0, 1, 1},
      {"right", kVkRight, 0, 1, 2},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    Keys({s.key});
    Run();
    EXPECT_EQ(Log.TopOffset, s.top);
    EXPECT_EQ(Log.CurrentRow, s.row);
    EXPECT_EQ(Log.CurrentColumn, s.column);
    EXPECT_EQ(Cell(1, 4), Field(s.top + 1, kColCall));
    EXPECT_EQ(Cell(30, 4), Field(s.top + 30, kColCall));
  }
  EXPECT_EQ(Field(100, kColCall), "C100");
  EXPECT_EQ(Log.QsoCount, 100);
}

TEST_F(GridTest, EnterNumbersTheNextEntryRow) {
  const struct {
    const char* name;
    const char* position;
    const char* length;
    std::string sent, want;
  } kCases[] = {
      {"right 3", "Right", "3", "599001", "599002"},
      {"right 3 carries", "Right", "3", "007", "008"},
      {"right 3, 099", "Right", "3", "599099", "599100"},
      {"left 3", "Left", "3", "001MO", "002MO"},
      {"none copies", "None", "3", "59 ABC", "59 ABC"},
      {"lower-case right counts as left", "right", "3", "001MO", "002MO"},
      // The serial runs over its width: it starts again from zero.
      {"999 at length 3 wraps", "Right", "3", "999", "000"},
      {"599999 wraps its serial only", "Right", "3", "599999", "599000"},
      {"left 999 wraps", "Left", "3", "999MO", "000MO"},
      {"length above the text pads it", "Right", "5", "7", "00008"},
      {"length 0 copies", "Right", "0", "5991", "5991"},
      {"negative length copies", "Right", "-2", "5991", "5991"},
      {"serial without digits counts from 0", "Right", "3", "59ABC", "59001"},
      {"huge length stays bounded", "Right", "2000000000", "12", "000000000000000013"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Restart();
    Prepare({{"14200", "CW", "", "", "RA3A", c.sent, "59"}},
            {std::string("PosNum = ") + c.position, std::string("LenNum = ") + c.length});
    Start();
    Keys({kVkEnter});
    Run();
    ASSERT_EQ(Log.QsoCount, 2);
    EXPECT_EQ(Log.CurrentRow, 2);
    EXPECT_EQ(Log.CurrentColumn, 1);
    EXPECT_EQ(Field(2, kColSent), c.want);
    EXPECT_EQ(Cell(2, 5), c.want);
    const std::vector<std::string> lines = FileQsoLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], QsoLine({"14200", "CW", "2010-03-07", "09:05", "RA3A", c.sent, "59"}));
    EXPECT_EQ(lines[1], QsoLine({"14200", "CW", "", "", "", c.want, ""}));
  }
}

TEST_F(GridTest, EnterWithAnEmptySentExchangeOnlyStamps) {
  Prepare({{"14200", "CW", "", "", "RA3A", "  ", "59"}});
  Start();
  Keys({kVkRight, kVkEnter});
  Run();
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(Log.CurrentRow, 1);
  EXPECT_EQ(Log.CurrentColumn, 2);
  EXPECT_EQ(Field(1, kColTime), "09:05");
  EXPECT_EQ(Field(1, kColDate), "2010-03-07");
  ASSERT_EQ(FileQsoLines().size(), 1u);
}

TEST_F(GridTest, EnterOnAnOlderRowOnlyRestampsIt) {
  std::vector<Qso> rows = {{"14200", "CW", "2010-03-06", "10:00", "RA3A", "599001", "59"},
                           {"14200", "CW", "2010-03-06", "10:01", "RA3B", "599002", "59"},
                           {"14200", "CW", "", "", "", "599003", ""}};
  Prepare(rows);
  Start();
  Keys({kVkEnter});
  Run();
  EXPECT_EQ(Log.QsoCount, 3);
  EXPECT_EQ(Log.CurrentRow, 1);
  EXPECT_EQ(Log.CurrentColumn, 1);
  rows[0].time = "09:05";
  rows[0].date = "2010-03-07";
  const std::vector<std::string> lines = FileQsoLines();
  ASSERT_EQ(lines.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(lines[i], QsoLine(rows[i])) << i;
}

TEST_F(GridTest, EnterOnGridRow30ScrollsByOne) {
  Prepare(NumberedRows(30));
  Start();
  Keys({kVkPageDown, kVkEnter});
  Run();
  EXPECT_EQ(Log.QsoCount, 31);
  EXPECT_EQ(Log.TopOffset, 1);
  EXPECT_EQ(Log.CurrentRow, 30);
  EXPECT_EQ(Cell(30, 5), "599031");
  EXPECT_EQ(Cell(30, 4), "");
  EXPECT_EQ(Cell(29, 4), "C030");
  EXPECT_EQ(Cell(1, 4), "C002");
  EXPECT_EQ(FileQsoLines().size(), 31u);
}

TEST_F(GridTest, EnterOnRow768StampsAndSaysTheLogIsFull) {
  std::vector<Qso> rows = NumberedRows(768);
  rows.back().time.clear();
  rows.back().date.clear();
  Prepare(rows);
  Start();
  for (int i = 0; i < 28; ++i) Keys({kVkPageDown});
  headless::QueueTimer();
  Run();
  ASSERT_EQ(Log.TopOffset, 738);
  ASSERT_EQ(Log.CurrentRow, 30);
  const headless::ControlState* box = headless::Control(kStationBoxId);
  EXPECT_EQ(box->text, kOwnCall);
  const std::string before = ReadFileBytes(ReportPath());

  Keys({kVkEnter});
  Run();
  EXPECT_EQ(Log.QsoCount, 768);
  EXPECT_EQ(Log.TopOffset, 738);
  EXPECT_EQ(Log.CurrentRow, 30);
  EXPECT_EQ(box->text, "Журнал заполнен!"_cp);
  EXPECT_EQ(box->textColour, 0x80FFFF);
  EXPECT_EQ(box->backColour, 0x0000FF);
  std::vector<std::string> lines = FileQsoLines();
  ASSERT_EQ(lines.size(), 768u);
  rows.back().time = "09:05";
  rows.back().date = "2010-03-07";
  EXPECT_EQ(lines[766], QsoLine(rows[766]));
  EXPECT_EQ(lines[767], QsoLine(rows[767]));
  EXPECT_NE(ReadFileBytes(ReportPath()), before);

  // A second Enter changes nothing but the stamp; removing the row frees the log.
  Keys({kVkEnter});
  Run();
  EXPECT_EQ(Log.QsoCount, 768);
  Keys({kVkDelete});
  Run();
  EXPECT_EQ(Log.QsoCount, 767);
  EXPECT_EQ(Log.TopOffset, 737);
  EXPECT_EQ(box->text, kOwnCall);
  EXPECT_EQ(box->backColour, 0xCCCCFF);
  EXPECT_EQ(FileQsoLines().size(), 767u);
}

TEST_F(GridTest, DeleteRemovesOnlyTheLastRow) {
  const struct {
    const char* name;
    int rows;
    std::vector<int> moves;  // keys before Delete
    int count, top, row;     // after Delete
    int fileLines;
  } kCases[] = {
      {"the only row", 1, {}, 1, 0, 1, 0},
      {"last row at grid row 2", 2, {kVkPageDown}, 1, 0, 1, 1},
      {"last row at grid row 5", 5, {kVkPageDown}, 4, 0, 4, 4},
      {"last row at grid row 29", 29, {kVkPageDown}, 28, 0, 28, 28},
      {"last row at grid row 30, no scroll", 30, {kVkPageDown}, 29, 0, 29, 29},
      {"last row at grid row 30, scrolled", 40, {kVkPageDown, kVkPageDown}, 39, 9, 30, 39},
      {"not the last row", 5, {kVkDown}, 5, 0, 2, -1},
      {"first of two", 2, {}, 2, 0, 1, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Restart();
    Prepare(NumberedRows(c.rows));
    const std::string original = ReadFileBytes(ReportPath());
    Start();
    for (int key : c.moves) Keys({key});
    Keys({kVkDelete});
    Run();
    EXPECT_EQ(Log.QsoCount, c.count);
    EXPECT_EQ(Log.TopOffset, c.top);
    EXPECT_EQ(Log.CurrentRow, c.row);
    if (c.fileLines < 0) {
      EXPECT_EQ(ReadFileBytes(ReportPath()), original);  // not even rewritten
      continue;
    }
    EXPECT_EQ(FileQsoLines().size(), static_cast<std::size_t>(c.fileLines));
    // The removed row is gone from the log, its date included, and from the grid.
    const int removed = c.rows == 1 ? 1 : c.count + 1;
    for (int column = 1; column <= 8; ++column) EXPECT_EQ(Field(removed, column), "") << column;
    if (removed - c.top <= kGridRows) {
      EXPECT_EQ(Cell(removed - c.top, 4), "");
    }
    if (c.rows > 1) {
      EXPECT_EQ(Cell(c.row, 4), Field(c.count, kColCall));
    }
  }
}

TEST_F(GridTest, ARowOpenedWhereOneWasRemovedHasNoOldDate) {
  Prepare(NumberedRows(3));
  Start();
  Keys({kVkPageDown, kVkDelete, kVkDelete, kVkEnter});
  Run();
  ASSERT_EQ(Log.QsoCount, 2);
  EXPECT_EQ(Field(2, kColDate), "");
  const std::vector<std::string> lines = FileQsoLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], QsoLine({"14200", "CW", "", "", "", "599002", ""}));
  // Deleting the only row and typing again gives a row without the old date.
  Keys({kVkDelete, kVkUp, kVkDelete, kVkDelete});
  Type("R");
  Run();
  ASSERT_EQ(Log.QsoCount, 1);
  ASSERT_EQ(FileQsoLines().size(), 1u);
  EXPECT_EQ(FileQsoLines()[0], QsoLine({"", "", "", "", "", "", ""}));
}

TEST_F(GridTest, CommaAndQuoteCycleTheEnabledBandsAndModes) {
  const struct {
    const char* name;
    std::string band, mode;
    int key;
    std::string want;
  } kCases[] = {
      {"28500 wraps to 1900", "28500", "CW", kVkComma, "1900"},
      {"empty band: first enabled", "", "CW", kVkComma, "1900"},
      {"1.2G is no class", "1.2G", "CW", kVkComma, "1900"},
      {"3600 skips to 28500", "3600", "CW", kVkComma, "28500"},
      {"typed 3510 is class 2", "3510", "CW", kVkComma, "28500"},
      {"PH to FM", "28500", "PH", kVkQuote, "FM"},
      {"FM wraps to PH", "28500", "FM", kVkQuote, "PH"},
      {"unknown mode: first enabled", "28500", "XX", kVkQuote, "PH"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Restart();
    Prepare(
        {{c.band, c.mode, "", "", "RA3A", "", ""}},
        {"Flag160M = 1", "Flag80M = 1", "Flag10M = 1", "FlagPH = 1", "FlagCW = 0", "FlagFM = 1"});
    Start();
    Keys({kVkRight, kVkRight, kVkRight, c.key});
    Run();
    const int column = c.key == kVkComma ? kColBand : kColMode;
    EXPECT_EQ(Field(1, column), c.want);
    EXPECT_EQ(Cell(1, column), c.want);
    EXPECT_EQ(Log.CurrentColumn, 4);
  }
}

TEST_F(GridTest, CyclingWithNothingEnabledLeavesTheField) {
  Prepare({{"1420", "XX", "", "", "RA3A", "", ""}});
  Start();
  AppSettings.BandFlags.fill(0);
  AppSettings.ModeFlags.fill(2);
  Keys({kVkComma, kVkQuote});
  Run();
  EXPECT_EQ(Field(1, kColBand), "1420");
  EXPECT_EQ(Field(1, kColMode), "XX");
  EXPECT_FALSE(PathExists(ReportPath() + ".bak"));  // nothing was rewritten
}

TEST_F(GridTest, PeriodStampsTimeAndDateOnly) {
  Prepare({{"14200", "CW", "", "", "RA3A", "599001", ""}});
  Start();
  SetFixedClock(At(23, 59) + 59);
  Keys({kVkRight, kVkRight, kVkPeriod});
  Run();
  EXPECT_EQ(Field(1, kColTime), "23:59");
  EXPECT_EQ(Field(1, kColDate), "2010-03-07");
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(Log.CurrentColumn, 3);
  ASSERT_EQ(FileQsoLines().size(), 1u);
  EXPECT_EQ(FileQsoLines()[0],
            QsoLine({"14200", "CW", "2010-03-07", "23:59", "RA3A", "599001", ""}));
}

TEST_F(GridTest, ClicksSelectCellsUpToTheLastRow) {
  Prepare(NumberedRows(5));
  Start();
  const struct {
    const char* name;
    int x, y;
    int row, column;
  } kSteps[] = {
      {"row 2 column 5", 334, 15 * 2 + 17, 2, 5},
      {"left edge of column 1", 10, 25, 1, 1},
      {"right edge of column 7, row 3", 536, 15 * 3 + 24, 3, 7},
      {"below the last row: last row, same column", 96, 15 * 20 + 17, 5, 7},
      {"gap before the informer: nothing", 540, 40, 5, 7},
      {"left of the grid: nothing", 9, 40, 5, 7},
      {"below the grid: nothing", 100, 475, 5, 7},
      {"bottom edge of row 30", 61, 474, 5, 7},
      {"column 2 row 4", 131, 15 * 4 + 10, 4, 2},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    const int oldCell = CellId(Log.CurrentRow, Log.CurrentColumn);
    headless::QueueClick(s.x, s.y);
    Run();
    EXPECT_EQ(Log.CurrentRow, s.row);
    EXPECT_EQ(Log.CurrentColumn, s.column);
    const int newCell = CellId(s.row, s.column);
    EXPECT_EQ(headless::Control(newCell)->backColour, AppSettings.Background);
    EXPECT_EQ(headless::Control(newCell)->textColour, AppSettings.ColorText);
    if (oldCell != newCell) {
      EXPECT_EQ(headless::Control(oldCell)->backColour, AppSettings.ColorText);
    }
  }
}

}  // namespace
