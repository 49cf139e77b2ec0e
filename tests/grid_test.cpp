// Contact entry at the grid, driven through the real event loop: typing in
// each column, moving and paging, the commit with Enter and the numbering of
// the sent exchange, removing the last row, cycling and stamping.
#include <string>
#include <vector>

#include "tests/entry_script.h"

namespace {

using GridTest = EntryTest;

// `count` rows: row i has the call C<i> and sent 599<i> (three digits).
std::vector<Qso> NumberedRows(int count) {
  std::vector<Qso> rows;
  for (int i = 1; i <= count; ++i) {
    const std::string n = AlignRight(DecimalText(i), 3, '0');
    rows.push_back({"14200", "CW", "2010-03-06", "10:00", "C" + n, "599" + n, "599001"});
  }
  return rows;
}

// Key bytes: '\b' is Backspace; '`' and 'e' are the keypad digits 0 and 5;
// '\xBF' is the slash key right of the period (191) and 'o' the keypad's
// divide key (111).
TEST_F(GridTest, TypingKeepsEachColumnsLimitAndCharacters) {
  const struct {
    const char* name;
    int column;
    std::string keys, want;
  } kCases[] = {
      {"time takes five with the colon", 1, "12345", "12:34"},
      {"Backspace: 12:3", 1, "12345\b", "12:3"},
      {"Backspace takes the colon with its digit", 1, "12345\b\b", "12:"},
      {"Backspace again: 1", 1, "12345\b\b\b", "1"},
      {"time refuses letters and space", 1, "1A 2Z3", "12:3"},
      {"band digits only, five", 2, "1A420000", "14200"},
      {"band refuses /", 2, "2\xBFo1200", "21200"},
      {"mode two characters", 3, "CWX", "CW"},
      {"call nine characters", 4, "UA1ABCDEFG", "UA1ABCDEF"},
      {"call takes a space", 4, "R 3", "R 3"},
      {"call takes / of a portable station", 4, "R3A\xBFP", "R3A/P"},
      {"call takes the keypad's / too", 4, "UA1Ao9", "UA1A/9"},
      {"/ counts within the nine", 4, "UA1ABC\xBFMMo", "UA1ABC/MM"},
      {"Backspace takes a /", 4, "R3A\xBF\b", "R3A"},
      {"time refuses /", 1, "1\xBFo2", "12"},
      {"mode refuses /", 3, "C\xBFoW", "CW"},
      {"sent refuses /", 5, "59o9\xBF", "599"},
      {"received refuses /", 6, "o1\xBF", "1"},
      {"points refuses /", 7, "o5\xBF", "5"},
      {"sent ten characters", 5, "599001MOSKX", "599001MOSK"},
      {"received takes keypad digits as digits", 6, "`eA", "05A"},
      {"points digits only, four", 7, "1A2 345", "1234"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({{"", "", "", "", "", "", ""}});  // a read report puts the cursor in column 1
    for (int i = 1; i < c.column; ++i) headless::QueueKey(kVkRight);
    Run(c.keys);
    EXPECT_EQ(Log.CurrentColumn, c.column);
    EXPECT_EQ(Field(1, c.column), c.want);
    EXPECT_EQ(Cell(1, c.column), c.want);
    // Every key reaches the report at once (points stay out of the file).
    Qso q;
    std::string* fields[] = {nullptr, &q.time, &q.band, &q.mode, &q.call, &q.sent, &q.received};
    if (c.column <= 6) *fields[c.column] = c.want;
    EXPECT_EQ(FileQsoLines(), std::vector<std::string>{QsoLine(q)});
  }
}

// One session over a hundred rows: each step is a key and where the cursor
// and the view are afterwards.
TEST_F(GridTest, ArrowsPagesTabAndEnterScroll) {
  Begin(NumberedRows(100));
  const struct {
    const char* name;
    int key, top, row, column;
  } kSteps[] = {
      {"left at column 1 stays", kVkLeft, 0, 1, 1},
      {"up at the top stays", kVkUp, 0, 1, 1},
      {"down", kVkDown, 0, 2, 1},
      {"right", kVkRight, 0, 2, 2},
      {"tab from the band to the call", kVkTab, 0, 2, 4},
      {"tab from the call to received", kVkTab, 0, 2, 6},
      {"page down to grid row 30", kVkPageDown, 0, 30, 6},
      {"page down scrolls 29", kVkPageDown, 29, 30, 6},
      {"again", kVkPageDown, 58, 30, 6},
      {"down at row 30 scrolls one", kVkDown, 59, 30, 6},
      {"and one more", kVkDown, 60, 30, 6},
      {"page down from 60 stops at the end: 70", kVkPageDown, 70, 30, 6},
      {"page down at the end stays", kVkPageDown, 70, 30, 6},
      {"down at the end stays", kVkDown, 70, 30, 6},
      {"enter at grid row 30 scrolls one", kVkEnter, 71, 30, 6},
      {"page up to grid row 1", kVkPageUp, 71, 1, 6},
      {"page up scrolls 29", kVkPageUp, 42, 1, 6},
      {"up at grid row 1 scrolls one", kVkUp, 41, 1, 6},
      {"page up", kVkPageUp, 12, 1, 6},
      {"page up stops at 0", kVkPageUp, 0, 1, 6},
      {"right", kVkRight, 0, 1, 7},
      {"right at column 7 stays", kVkRight, 0, 1, 7},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    const int before = CellId(Log.CurrentRow, Log.CurrentColumn);
    Run({s.key});
    EXPECT_EQ(Log.TopOffset, s.top);
    EXPECT_EQ(Log.CurrentRow, s.row);
    EXPECT_EQ(Log.CurrentColumn, s.column);
    EXPECT_EQ(Cell(1, 4), Field(s.top + 1, kColCall));
    EXPECT_EQ(Cell(30, 4), Field(s.top + 30, kColCall));
    // The current-cell colours move with the cursor.
    const int now = CellId(s.row, s.column);
    EXPECT_EQ(headless::Control(now)->backColour, AppSettings.Background);
    EXPECT_EQ(headless::Control(before)->backColour,
              before == now ? AppSettings.Background : AppSettings.ColorText);
  }
  EXPECT_EQ(Field(101, kColSent), "599101");
}

// The next entry row's sent exchange; an empty want: no new row, only the stamp.
TEST_F(GridTest, EnterNumbersTheNextEntryRow) {
  const struct {
    const char *name, *position, *length;
    std::string sent, want;
  } kCases[] = {
      {"right 3", "Right", "3", "599001", "599002"},
      {"right 3 carries", "Right", "3", "007", "008"},
      {"left 3", "Left", "3", "001MO", "002MO"},
      {"none copies", "None", "3", "59 ABC", "59 ABC"},
      {"lower-case right counts as left", "right", "3", "001MO", "002MO"},
      {"999 at length 3 starts again from 000", "Right", "3", "999", "000"},
      {"599999 wraps its serial only", "Right", "3", "599999", "599000"},
      {"left 999 wraps", "Left", "3", "999MO", "000MO"},
      {"length above the text pads it", "Right", "5", "7", "00008"},
      {"negative length copies", "Right", "-2", "5991", "5991"},
      {"serial without digits counts from 0", "Right", "3", "59ABC", "59001"},
      {"huge length stays bounded", "Right", "2000000000", "12", "000000000000000013"},
      {"empty sent only stamps", "Right", "3", "  ", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({{"14200", "CW", "", "", "RA3A", c.sent, "59"}},
          {std::string("PosNum = ") + c.position, std::string("LenNum = ") + c.length});
    Run({kVkEnter});
    const int rows = c.want.empty() ? 1 : 2;
    EXPECT_EQ(Log.QsoCount, rows);
    EXPECT_EQ(Log.CurrentRow, rows);
    EXPECT_EQ(Cell(2, 5), c.want);
    std::vector<std::string> want = {
        QsoLine({"14200", "CW", "2010-03-07", "09:05", "RA3A", c.sent, "59"})};
    if (rows == 2) want.push_back(QsoLine({"14200", "CW", "", "", "", c.want, ""}));
    EXPECT_EQ(FileQsoLines(), want);
  }
}

TEST_F(GridTest, EnterOnAnOlderRowOnlyRestampsIt) {
  std::vector<Qso> rows = {{"14200", "CW", "2010-03-06", "10:00", "RA3A", "599001", "59"},
                           {"14200", "CW", "2010-03-06", "10:01", "RA3B", "599002", "59"},
                           {"14200", "CW", "", "", "", "599003", ""}};
  Begin(rows);
  Run({kVkEnter});
  EXPECT_EQ(Log.QsoCount, 3);
  EXPECT_EQ(Log.CurrentRow, 1);
  rows[0].time = "09:05";
  rows[0].date = "2010-03-07";
  EXPECT_EQ(FileQsoLines(),
            (std::vector<std::string>{QsoLine(rows[0]), QsoLine(rows[1]), QsoLine(rows[2])}));
}

TEST_F(GridTest, EnterOnRow768StampsAndSaysTheLogIsFull) {
  std::vector<Qso> rows = NumberedRows(768);
  rows.back().time = rows.back().date = "";
  Begin(rows);
  for (int i = 0; i < 28; ++i) headless::QueueKey(kVkPageDown);
  Run({kVkEnter, kVkEnter});  // the second changes nothing but the stamp
  EXPECT_EQ(Log.QsoCount, 768);
  EXPECT_EQ(Log.TopOffset + Log.CurrentRow, 768);
  const headless::ControlState* box = headless::Control(kStationBoxId);
  EXPECT_EQ(box->text, "Журнал заполнен!"_cp);
  EXPECT_EQ(box->textColour, 0x80FFFF);
  EXPECT_EQ(box->backColour, 0x0000FF);
  rows.back().time = "09:05";
  rows.back().date = "2010-03-07";
  const std::vector<std::string> lines = FileQsoLines();
  ASSERT_EQ(lines.size(), 768u);
  EXPECT_EQ(lines[766], QsoLine(rows[766]));
  EXPECT_EQ(lines[767], QsoLine(rows[767]));

  Run({kVkDelete});  // removing the row frees the log
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
    std::vector<int> moves;          // keys before Delete
    int count, top, row, fileLines;  // after Delete; -1 lines: the file is untouched
  } kCases[] = {
      {"the only row", 1, {}, 1, 0, 1, 0},
      {"last row at grid row 2", 2, {kVkPageDown}, 1, 0, 1, 1},
      {"last row at grid row 29", 29, {kVkPageDown}, 28, 0, 28, 28},
      {"last row at grid row 30, no scroll", 30, {kVkPageDown}, 29, 0, 29, 29},
      {"last row at grid row 30, scrolled", 40, {kVkPageDown, kVkPageDown}, 39, 9, 30, 39},
      {"not the last row", 5, {kVkDown}, 5, 0, 2, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin(NumberedRows(c.rows));
    const std::string original = ReadFileBytes(ReportPath());
    for (int key : c.moves) headless::QueueKey(key);
    Run({kVkDelete});
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
    EXPECT_EQ(Cell(c.row, 4), Field(c.count, kColCall));
    EXPECT_EQ(c.row < kGridRows ? Cell(c.row + 1, 4) : "", "");
  }
}

TEST_F(GridTest, ARowOpenedWhereOneWasRemovedHasNoOldDate) {
  Begin(NumberedRows(3));
  Run({kVkPageDown, kVkDelete, kVkDelete, kVkEnter});
  ASSERT_EQ(Log.QsoCount, 2);
  EXPECT_EQ(Field(2, kColDate), "");
  EXPECT_EQ(FileQsoLines().at(1), QsoLine({"14200", "CW", "", "", "", "599002", ""}));
  // Deleting the only row and typing again gives a row without the old date.
  Run({kVkDelete, kVkUp, kVkDelete, kVkDelete, 'R'});
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(FileQsoLines(), std::vector<std::string>{QsoLine({"", "", "", "", "", "", ""})});
}

// Bands 1, 2 and 6 and modes PH and FM are enabled; "none" enables nothing.
TEST_F(GridTest, CommaAndQuoteCycleTheEnabledBandsAndModes) {
  const struct {
    const char* name;
    std::string band, mode;
    int key;
    std::string want;
    bool none;
  } kCases[] = {
      {"28500 wraps to 1900", "28500", "CW", kVkComma, "1900", false},
      {"empty band: first enabled", "", "CW", kVkComma, "1900", false},
      {"1.2G is no class", "1.2G", "CW", kVkComma, "1900", false},
      {"typed 3510 is class 2, next 28500", "3510", "CW", kVkComma, "28500", false},
      {"PH to FM", "28500", "PH", kVkQuote, "FM", false},
      {"FM wraps to PH", "28500", "FM", kVkQuote, "PH", false},
      {"unknown mode: first enabled", "28500", "XX", kVkQuote, "PH", false},
      {"no band enabled: the band stays", "14200", "XX", kVkComma, "14200", true},
      {"no mode enabled: the mode stays", "14200", "XX", kVkQuote, "XX", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({{c.band, c.mode, "", "", "RA3A", "", ""}},
          {"Flag160M = 1", "Flag80M = 1", "Flag10M = 1", "FlagPH = 1", "FlagCW = 0", "FlagFM = 1"});
    if (c.none) {
      AppSettings.BandFlags.fill(0);
      AppSettings.ModeFlags.fill(2);  // only 1 counts as enabled
    }
    Run({kVkRight, kVkRight, kVkRight, c.key});
    const int column = c.key == kVkComma ? kColBand : kColMode;
    EXPECT_EQ(Field(1, column), c.want);
    EXPECT_EQ(Cell(1, column), c.want);
    EXPECT_EQ(Log.CurrentColumn, 4);
  }
}

TEST_F(GridTest, PeriodStampsTimeAndDateOnly) {
  Begin({{"14200", "CW", "", "", "RA3A", "599001", ""}});
  SetFixedClock(At(23, 59) + 59);
  Run({kVkRight, kVkRight, kVkPeriod});
  EXPECT_EQ(Log.QsoCount, 1);
  EXPECT_EQ(Log.CurrentColumn, 3);
  EXPECT_EQ(FileQsoLines(), std::vector<std::string>{QsoLine(
                                {"14200", "CW", "2010-03-07", "23:59", "RA3A", "599001", ""})});
}

// A band typed in full is the band its class names: cycling goes on from it,
// and a call sign repeated on it in the same sub-tour is a repeat.
TEST_F(GridTest, FiveDigitBandsTypedAreTheirBands) {
  const struct {
    const char* typed;
    int bandClass;
    const char* next;  // after the comma, all nine bands enabled
  } kCases[] = {
      {"14200", 4, "21200"}, {"14000", 4, "21200"}, {"14280", 4, "21200"}, {"14281", 0, "1900"},
      {"21450", 5, "28500"}, {"28500", 6, "145"},   {"28700", 6, "145"},   {"28701", 0, "1900"},
      {"1800", 1, "3600"},   {"433", 8, "1.2G"},    {"1299", 9, "1900"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.typed);
    Begin({{c.typed, "CW", "2010-03-07", "09:01", "RA3A/P", "599001", "599002"}},
          {"Flag160M = 1", "Flag80M = 1", "Flag40M = 1", "Flag20M = 1", "Flag15M = 1",
           "Flag10M = 1", "Flag145 = 1", "Flag433 = 1", "Flag1296 = 1"});
    // A second row: the band typed over the prefilled one, then the same call.
    Run({kVkRight, kVkRight, kVkRight, kVkRight, kVkEnter, kVkLeft, kVkLeft, kVkLeft});
    ASSERT_EQ(Log.QsoCount, 2);
    Run({kVkBackspace, kVkBackspace, kVkBackspace, kVkBackspace, kVkBackspace});
    Run(c.typed);
    EXPECT_EQ(Field(2, kColBand), c.typed);
    EXPECT_EQ(ClassifyBand(Field(2, kColBand)), c.bandClass);
    Run({kVkRight, kVkRight, 'R', 'A', '3', 'A', 191, 'P'});
    EXPECT_EQ(Field(2, kColCall), "RA3A/P");
    EXPECT_EQ(headless::Control(kStatusLineId)->backColour, 0x0000FF);  // the repeat
    Run({kVkLeft, kVkLeft, kVkComma});
    EXPECT_EQ(Field(2, kColBand), c.next);
  }
}

}  // namespace
