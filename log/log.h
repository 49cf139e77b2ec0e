// The contest log in memory and its 30-row view in the main window's grid:
// the QsoLog rows, the cursor and scroll state, the cell numbering, the band
// and mode tables with their cycling, the two grid painting operations, and
// StoreCell, the one way a field changes. This is the one piece that both the
// report files and the main window use.
//
// The grouped rewrite. StoreCell stores and shows a field and marks the log as
// changed; it writes nothing. The report writer (report/) takes the mark with
// TakeLogChange and rewrites the report once; the program runs it as the
// window layer's before-wait hook, so the report is rewritten after the
// handler of an event has finished and before the program waits for the next
// event, in the main loop, in every dialog's loop and before a message box or
// file dialog. When the program waits, the file holds every change so far.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/modal.h"

inline constexpr int kLogRows = 768;    // usable rows, the entry row included
inline constexpr int kGridRows = 30;    // rows shown in the grid
inline constexpr int kGridColumns = 7;  // log columns shown in the grid

// Log columns.
inline constexpr int kColTime = 1;
inline constexpr int kColBand = 2;
inline constexpr int kColMode = 3;
inline constexpr int kColCall = 4;
inline constexpr int kColSent = 5;
inline constexpr int kColReceived = 6;
inline constexpr int kColPoints = 7;
inline constexpr int kColDate = 8;

// Control ids of the main window.
inline constexpr int kStationBoxId = 85;
inline constexpr int kStatusLineId = 1900;

using QsoRecord = std::array<std::string, 9>;  // columns 1..8; 0 unused

struct LogState {
  std::array<QsoRecord, kLogRows + 1> QsoLog;  // rows 1..768; row 0 unused
  int32_t QsoCount = 1;                        // rows in use, the entry row included
  int32_t TopOffset = 0;                       // grid row r shows log row TopOffset + r
  int32_t CurrentRow = 1;                      // grid row of the current cell, 1..30
  int32_t CurrentColumn = 4;                   // log column of the current cell, 1..7
  bool Changed = false;  // something the report holds changed since it was last written
  int64_t Edits = 0;     // stores and reads of rows so far: what was worked out from the rows is stale once it moves
  // What was worked out from one row is stale once its stamp moves (a store
  // into it), or from any row once the epoch moves (rows read, cleared or
  // changed outside StoreCell).
  std::array<int64_t, kLogRows + 1> RowStamps{};
  int64_t Epoch = 0;
};
extern LogState Log;

// Typing limits of the log columns (index 1..7).
// The band takes five digits, as the band texts of the table below have.
inline constexpr std::array<int, 9> ColumnMaxLength = {0, 5, 5, 2, 9, 10, 10, 4, 0};

struct BandClassEntry {
  int32_t low, high;
  const char* text;  // what band cycling writes
};
inline constexpr std::array<BandClassEntry, 10> BandTable = {{
    {0, -1, ""},
    {1800, 2000, "1900"},
    {3500, 3800, "3600"},
    {7000, 7100, "7000"},
    {14000, 14280, "14200"},
    {21000, 21450, "21200"},
    {28000, 28700, "28500"},
    {144, 145, "145"},
    {430, 439, "433"},
    {1200, 1299, "1.2G"},
}};
inline constexpr std::array<const char*, 7> ModeTable = {"", "PH", "CW", "FM", "PM", "PS", "TV"};

constexpr int CellId(int gridRow, int column) { return 10 * gridRow + column + 89; }

// Empties the log and puts the cursor at its start values.
void ResetLog();

int ClassifyBand(std::string_view band);
int ClassifyMode(std::string_view mode);
// The next class after `from` whose flag is 1, wrapping; `from` itself when
// no class is enabled.
int NextEnabledBand(int from);
int NextEnabledMode(int from);

// The sub-tour of a contact: its hour, and which slice of `minutes` within the
// hour its minute falls in. Contacts of one band class in one sub-tour repeat.
struct SubTourKey {
  int32_t hour = 0;
  int32_t index = 0;
  bool operator==(const SubTourKey&) const = default;
};
// The sub-tour length in use: a `TimeMin` of 0 or below (a hand-edited
// settings file) counts as 60 minutes, the value the settings dialog shows.
constexpr int32_t SubTourMinutes(int32_t timeMin) { return timeMin > 0 ? timeMin : 60; }
// The sub-tour of an "hh:ii" time text (surrounding spaces ignored).
SubTourKey SubTourOfTime(std::string_view time, int32_t minutes);
// A call sign as repeats are compared: without surrounding spaces, cut or
// padded with spaces to 14 characters; two rows repeat when these are equal
// and not blank, their band classes are equal and so are their sub-tours
// (the date plays no part).
inline constexpr int kRepeatCallWidth = 14;
std::string RepeatCallEntry(std::string_view call);

// Shows log rows offset+1..offset+30 in grid columns 1..7; rows past QsoCount
// are emptied in the log and on screen.
void RefreshGrid(int offset);
// mode 1: the ordinary grid colours; any other mode: the current-cell colours.
void HighlightCell(int cellId, int mode);

// Stores `text` at log row gridRow + topOffset, column `column`, shows it in
// the grid (columns 1..7) and marks the log as changed. gridRow 0 only marks
// (a change that StoreCell did not make, such as a removed row or the header).
void StoreCell(int column, int gridRow, int topOffset, std::string_view text);
// True when the log changed since the last call; the mark is taken away.
bool TakeLogChange();
