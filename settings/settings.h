// The preferences: AppSettings, ContestList and BandList, their settings file
// "corvane.ini" in the current folder, and the two dialogs that edit them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"

inline constexpr char kSettingsFileName[] = "corvane.ini";
inline constexpr int kBandClasses = 9;
inline constexpr int kModeClasses = 6;
inline constexpr int kListCapacity = 129;    // list entries 1..129; element 0 is unused
inline constexpr int kListCountLimit = 127;  // counts above this read as this

struct AppSettingsRecord {
  // Group Main
  std::string File;      // path of the open report; "" when none
  int32_t TimeMin = 30;  // sub-tour length in minutes
  std::array<int32_t, 11> BandFlags = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};  // 1..9: 1 = enabled
  std::array<int32_t, 11> ModeFlags = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};  // 1..6: 1 = enabled
  int32_t RightWin = 1;          // informer switch; shown, never acted on
  int32_t LenNum = 3;            // length of the sent number's changing part
  std::string PosNum = "Right";  // "Right", "Left" or "None", compared exactly
  // Group Colors (0x00BBGGRR)
  int32_t ColorText = 0x000000;   // key Color-Text
  int32_t Background = 0x00FF00;  // key Background
  int32_t InfText = 0xFFFF00;     // key Inf-Text
  int32_t InfBack = 0x005500;     // key Inf-Back
  int32_t InfUpText = 0x000000;   // key Inf-Up-Text
  int32_t InfUpBack = 0x00DD00;   // key Inf-Up-Back
  int32_t MainUpText = 0xFFFFFF;  // key Main-Up-Text
  int32_t MainUpBack = 0xFF0000;  // key Main-Up-Back
};

// A list of named entries with abbreviations (contests, band categories).
struct NamedList {
  int32_t Count = 0;  // may be negative when the file says so; no entries then
  std::array<std::string, kListCapacity + 1> Names;
  std::array<std::string, kListCapacity + 1> Abbrs;
};

extern AppSettingsRecord AppSettings;
extern NamedList ContestList;  // group Contests: NumberCont, NameContNN, ABBRContNN
extern NamedList BandList;     // group Bands: NumberBand, NameBandNN, ABBRBandNN

// Every field back to its default, both lists empty.
void ResetSettings();

// The index part of a list key: two digits with a leading zero up to 99, the
// full decimal index from 100 on.
std::string ListKeyIndex(int index);

void LoadSettings();
// Writes corvane.ini whole; false when it could not be written. The choices
// stay in memory and are written by the next change or at the end.
bool SaveSettings();

// Settings files whose last write failed. Each failure is said once in the
// status line; the files are written again at the next change and at the end.
struct SettingsWritesState {
  bool SettingsUnsaved = false;               // corvane.ini holds older choices
  std::vector<std::string> OptionsUnsaved;    // groups of options.ini not written
  std::string UnsaidFile;                     // a failure not yet said; "" when none
};
extern SettingsWritesState SettingsWrites;

inline constexpr std::string_view kSettingsUnsavedText = "Настройки не записаны в файл "_cp;
// Writes again whatever failed before (at the end of the program); false when
// something is still unwritten.
bool SaveUnsavedSettings();

// The modal dialogs of the "Параметры" menu.
void SettingsDialog();
void DateTimeDialog();
