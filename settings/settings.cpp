// The preferences record and its settings file "corvane.ini": four groups
// (Main, Contests, Bands, Colors) written anew in one fixed layout, read back
// key by key with the defaults of the record. Knows no window.
#include "settings/settings.h"

#include <string_view>

#include "base/keyvalue.h"
#include "base/text.h"
#include "settings/options.h"

AppSettingsRecord AppSettings;
SettingsWritesState SettingsWrites;
NamedList ContestList;
NamedList BandList;

namespace {

// Keys of BandFlags 1..9 and ModeFlags 1..6, element 0 unused.
constexpr std::array<std::string_view, kBandClasses + 1> kBandFlagKeys = {
    "",        "Flag160M", "Flag80M", "Flag40M", "Flag20M",
    "Flag15M", "Flag10M",  "Flag145", "Flag433", "Flag1296"};
constexpr std::array<std::string_view, kModeClasses + 1> kModeFlagKeys = {
    "", "FlagPH", "FlagCW", "FlagFM", "FlagPM", "FlagPS", "FlagTV"};

// The colour keys in file order with the field each one keeps.
struct ColourKey {
  std::string_view key;
  int32_t AppSettingsRecord::*field;
};
constexpr std::array<ColourKey, 8> kColourKeys = {{
    {"Color-Text", &AppSettingsRecord::ColorText},
    {"Background", &AppSettingsRecord::Background},
    {"Inf-Text", &AppSettingsRecord::InfText},
    {"Inf-Back", &AppSettingsRecord::InfBack},
    {"Inf-Up-Text", &AppSettingsRecord::InfUpText},
    {"Inf-Up-Back", &AppSettingsRecord::InfUpBack},
    {"Main-Up-Text", &AppSettingsRecord::MainUpText},
    {"Main-Up-Back", &AppSettingsRecord::MainUpBack},
}};

// The key names of one list group: "NumberCont", "NameCont", "ABBRCont".
struct ListKeys {
  std::string_view group, count, name, abbr;
};
constexpr ListKeys kContestKeys = {"Contests", "NumberCont", "NameCont", "ABBRCont"};
constexpr ListKeys kBandKeys = {"Bands", "NumberBand", "NameBand", "ABBRBand"};

std::string ListKey(std::string_view stem, int index) {
  return std::string(stem) + ListKeyIndex(index);
}

// Reads a list group: the count (above the limit read as the limit, below 1
// reading no entries), then that many name and abbreviation pairs. Entries
// above the count keep what they held.
void ReadList(const ListKeys& keys, NamedList& list) {
  SelectKeyGroup(keys.group);
  int32_t count = ReadKeyInteger(keys.count, 0);
  if (count > kListCountLimit) count = kListCountLimit;
  list.Count = count;
  for (int i = 1; i <= count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    list.Names[at] = ReadKeyString(ListKey(keys.name, i), "");
    list.Abbrs[at] = ReadKeyString(ListKey(keys.abbr, i), "");
  }
}

// Writes a list group: the count as it stands, then the pairs. A count that
// only a caller of this module could have raised past the capacity writes no
// more than the capacity holds.
void WriteList(const ListKeys& keys, const NamedList& list) {
  SelectKeyGroup(keys.group);
  WriteKeyInteger(keys.count, list.Count);
  const int count = list.Count < kListCapacity ? list.Count : kListCapacity;
  for (int i = 1; i <= count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    WriteKeyString(ListKey(keys.name, i), list.Names[at]);
    WriteKeyString(ListKey(keys.abbr, i), list.Abbrs[at]);
  }
}

// At least one band and one mode must be enabled (flag exactly 1): otherwise
// 3500 kHz and PH become enabled.
void EnsureEnabledClasses() {
  bool anyBand = false;
  for (int i = 1; i <= kBandClasses; ++i) {
    if (AppSettings.BandFlags[static_cast<std::size_t>(i)] == 1) anyBand = true;
  }
  if (!anyBand) AppSettings.BandFlags[2] = 1;
  bool anyMode = false;
  for (int i = 1; i <= kModeClasses; ++i) {
    if (AppSettings.ModeFlags[static_cast<std::size_t>(i)] == 1) anyMode = true;
  }
  if (!anyMode) AppSettings.ModeFlags[1] = 1;
}

// Records the outcome of a write of corvane.ini and returns it. A failure is
// said once: a file that keeps failing is not said again at every retry.
bool NoteSettingsWrite(bool written) {
  if (!written && !SettingsWrites.SettingsUnsaved) SettingsWrites.UnsaidFile = kSettingsFileName;
  SettingsWrites.SettingsUnsaved = !written;
  return written;
}

}  // namespace

void ResetSettings() {
  SettingsWrites = {};
  AppSettings = {};
  ContestList = {};
  BandList = {};
}

std::string ListKeyIndex(int index) {
  if (index >= 0 && index < 100) return AlignRight(DecimalText(index), 2, '0');
  return DecimalText(index);
}

void LoadSettings() {
  if (!OpenKeyValueFile(kSettingsFileName)) {
    CloseKeyValueFile();
    return;
  }
  const AppSettingsRecord defaults;
  AppSettingsRecord& s = AppSettings;

  SelectKeyGroup("Main");
  s.File = ReadKeyString("File", defaults.File);
  s.TimeMin = ReadKeyInteger("TimeMin", defaults.TimeMin);
  for (int i = 1; i <= kBandClasses; ++i) {
    const auto at = static_cast<std::size_t>(i);
    s.BandFlags[at] = ReadKeyInteger(kBandFlagKeys[at], defaults.BandFlags[at]);
  }
  for (int i = 1; i <= kModeClasses; ++i) {
    const auto at = static_cast<std::size_t>(i);
    s.ModeFlags[at] = ReadKeyInteger(kModeFlagKeys[at], defaults.ModeFlags[at]);
  }
  s.RightWin = ReadKeyInteger("RightWin", defaults.RightWin);
  s.LenNum = ReadKeyInteger("LenNum", defaults.LenNum);
  s.PosNum = ReadKeyString("PosNum", defaults.PosNum);

  ReadList(kContestKeys, ContestList);
  ReadList(kBandKeys, BandList);

  SelectKeyGroup("Colors");
  for (const ColourKey& colour : kColourKeys) {
    s.*colour.field = ReadKeyInteger(colour.key, defaults.*colour.field);
  }
  CloseKeyValueFile();
}

bool SaveSettings() {
  EnsureEnabledClasses();
  if (!CreateKeyValueFile(kSettingsFileName)) {
    CloseKeyValueFile();
    return NoteSettingsWrite(false);
  }
  const AppSettingsRecord& s = AppSettings;

  SelectKeyGroup("Main");
  WriteKeyString("File", s.File);
  WriteKeyInteger("TimeMin", s.TimeMin);
  for (int i = 1; i <= kBandClasses; ++i) {
    const auto at = static_cast<std::size_t>(i);
    WriteKeyInteger(kBandFlagKeys[at], s.BandFlags[at]);
  }
  for (int i = 1; i <= kModeClasses; ++i) {
    const auto at = static_cast<std::size_t>(i);
    WriteKeyInteger(kModeFlagKeys[at], s.ModeFlags[at]);
  }
  WriteKeyInteger("RightWin", s.RightWin);
  WriteKeyInteger("LenNum", s.LenNum);
  WriteKeyString("PosNum", s.PosNum);

  WriteList(kContestKeys, ContestList);
  WriteList(kBandKeys, BandList);

  SelectKeyGroup("Colors");
  for (const ColourKey& colour : kColourKeys) WriteKeyInteger(colour.key, s.*colour.field);
  return NoteSettingsWrite(CloseKeyValueFile());
}

bool SaveUnsavedSettings() {
  bool written = true;
  if (SettingsWrites.SettingsUnsaved) written = SaveSettings();
  if (!SettingsWrites.OptionsUnsaved.empty()) {
    // Any group rewrites every pending one with it.
    const std::string group = SettingsWrites.OptionsUnsaved.front();
    written = SaveOptionsGroup(group) && written;
  }
  return written;
}
