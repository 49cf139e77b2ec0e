// The report header record and its modal editor "Шапка отчёта": contest and
// band from the settings' lists, own call sign, QTH, e-mail, the three entry
// category lists and the personal details of up to three operators. The
// editor validates nothing; Save rewrites the report at once.
#include "report/report.h"

#include <array>
#include <string>
#include <string_view>

#include "base/text.h"
#include "base/textfile.h"
#include "log/log.h"
#include "settings/settings.h"
#include "ui/window.h"

ReportHeaderRecord ReportHeader;
ReportState Report;

void ResetReport() {
  ReleaseOwnerLock(Report.OwnerLock);
  ReportHeader = {};
  Report = {};
}

std::array<std::string, kOperatorDetails + 1> SplitOperatorEntry(std::string_view entry) {
  std::array<std::string, kOperatorDetails + 1> details;
  int start = 1;
  for (int j = 1; j <= kOperatorDetails; ++j) {
    const int comma = FindSubtext(entry, ",", start);
    if (j == kOperatorDetails) {
      // The last detail runs to a further comma or to the end.
      const int end = comma == 0 ? TextLength(entry) + 1 : comma;
      details[static_cast<std::size_t>(j)] = TrimSpaces(MidChars(entry, start, end - start));
      break;
    }
    if (comma == 0) break;  // the text after the last comma is dropped
    details[static_cast<std::size_t>(j)] = TrimSpaces(MidChars(entry, start, comma - start));
    start = comma + 1;
  }
  return details;
}

std::string JoinOperatorDetails(const std::array<std::string, kOperatorDetails + 1>& details) {
  std::string entry = details[1];
  for (int j = 2; j <= kOperatorDetails; ++j) {
    entry += ", ";
    entry += details[static_cast<std::size_t>(j)];
  }
  return entry;
}

namespace {

// Control ids of the header window.
constexpr int kContestList = 66;
constexpr int kCallsignField = 67;
constexpr int kLocationField = 68;
constexpr int kOperatorCategoryList = 69;
constexpr int kPowerList = 70;
constexpr int kBandList = 71;
constexpr int kModeList = 72;
constexpr int kEmailField = 73;
constexpr int kSaveButton = 530;
constexpr int kBackButton = 531;
// First field of operator k (1..3): 500, 510, 520; row 8 (postal address) is
// never stored.
constexpr int OperatorField(int k, int row) { return 490 + 10 * k + row - 1; }
constexpr int kOperatorRows = 8;

struct CategoryChoice {
  std::string_view shown;
  std::string_view value;  // what the report header holds
};

constexpr std::array<CategoryChoice, 4> kOperatorCategoryChoices = {{
    {"Коллектвиный"_cp, "MULTI-OP"},
    {"Два оператора"_cp, "MULTI-OP2"},
    {"Один оператор"_cp, "SINGLE-OP"},
    {"Для контроля"_cp, "CHECKLOG"},
}};
constexpr std::array<CategoryChoice, 4> kPowerChoices = {{
    {"Не указано"_cp, ""},
    {"Более 100 Вт."_cp, "HIGH"},
    {"До 100 Вт."_cp, "LOW"},
    {"Малая QRP"_cp, "QRP"},
}};
constexpr std::array<CategoryChoice, 5> kModeChoices = {{
    {"Не указано"_cp, ""},
    {"SSB (телефон)"_cp, "SSB"},
    {"CW (телеграф)"_cp, "CW"},
    {"FM (частотная)"_cp, "FM"},
    {"Все виды"_cp, "MIXED"},
}};

struct LabelPlace {
  int id, x, y, width;
  std::string_view text;
};
constexpr std::array<LabelPlace, 8> kTopLabels = {{
    {50, 10, 10, 180, "Соревнование:"_cp},
    {51, 10, 35, 180, "Позывной:"_cp},
    {52, 10, 60, 180, "QTH (RDA):"},
    {53, 10, 85, 180, "Email-адрес:"_cp},
    {54, 320, 35, 180, "Зачётная группа:"_cp},
    {55, 320, 60, 140, "Мощность:"_cp},
    {56, 320, 85, 140, "Диапазон:"_cp},
    {57, 320, 110, 140, "Вид модуляции:"_cp},
}};
constexpr std::array<std::string_view, kOperatorRows> kOperatorRowLabels = {
    "Фамилия:"_cp,         "Имя:"_cp,
    "Отчество:"_cp,        "Год рождения:"_cp,
    "Спорт. разряд:"_cp,   "Личный позывной:"_cp,
    "Категория р.ст.:"_cp, "Почтовый адрес:"_cp,
};

// The index of the choice whose value is `value`; 0 when none is.
template <std::size_t N>
int ChoiceIndex(const std::array<CategoryChoice, N>& choices, std::string_view value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (choices[i].value == value) return static_cast<int>(i);
  }
  return 0;
}

template <std::size_t N>
void FillChoices(int listId, const std::array<CategoryChoice, N>& choices) {
  for (const CategoryChoice& choice : choices) AppendListEntry(listId, choice.shown);
}

// Mode cycling offers only the modes of the mode category. "MIXED" restricts
// only on Save; "Не указано" and anything else leave the flags alone.
void RestrictModeFlags(std::string_view categoryMode, bool saving) {
  std::array<int, 2> allowed = {0, 0};  // mode classes; 0 = none
  if (categoryMode == "SSB") {
    allowed = {1, 0};
  } else if (categoryMode == "CW") {
    allowed = {2, 0};
  } else if (categoryMode == "FM") {
    allowed = {3, 0};
  } else if (categoryMode == "MIXED" && saving) {
    allowed = {1, 2};
  } else {
    return;
  }
  for (int cls = 1; cls <= kModeClasses; ++cls)
    AppSettings.ModeFlags[static_cast<std::size_t>(cls)] = 0;
  for (int cls : allowed) {
    if (cls != 0) AppSettings.ModeFlags[static_cast<std::size_t>(cls)] = 1;
  }
}

int ListEntries(const NamedList& list) {
  return list.Count < 0 ? 0 : (list.Count > kListCapacity ? kListCapacity : list.Count);
}

// Abbreviation of list entry `index` (1-based); entry 0 and entries outside
// the list are empty.
std::string ListAbbreviation(const NamedList& list, int index) {
  if (index < 1 || index > ListEntries(list)) return {};
  return list.Abbrs[static_cast<std::size_t>(index)];
}

void FillNamedList(int listId, const NamedList& list, std::string_view selected) {
  const int count = ListEntries(list);
  int match = -1;
  for (int i = 1; i <= count; ++i) {
    AppendListEntry(listId, list.Names[static_cast<std::size_t>(i)]);
    if (list.Abbrs[static_cast<std::size_t>(i)] == selected) match = i - 1;  // last match wins
  }
  SetControlValue(listId, match);
}

void CreateHeaderControls() {
  for (const LabelPlace& label : kTopLabels) {
    CreateLabel(label.id, label.x, label.y, label.width, 18, label.text, kLabelLeft);
  }
  const std::array<std::string_view, 3> heads = {"1", "2", "3"};
  for (int k = 0; k < 3; ++k) {
    const int id = 87 + k;
    CreateLabel(id, 170 + 150 * k, 140, 140, 16, heads[static_cast<std::size_t>(k)], kLabelCentred);
    SetControlColour(id, kColourText, 0xFFFFFF);
    SetControlColour(id, kColourBack, 0xFF0000);
  }
  for (int row = 0; row < kOperatorRows; ++row) {
    CreateLabel(58 + row, 10, 160 + 25 * row, 180, 18,
                kOperatorRowLabels[static_cast<std::size_t>(row)], kLabelLeft);
  }
  CreateDropDownList(kContestList, 170, 10, 440, 240);
  CreateTextField(kCallsignField, 170, 35, 140, 20, "");
  CreateTextField(kLocationField, 170, 60, 140, 20, "");
  CreateDropDownList(kOperatorCategoryList, 470, 35, 140, 180);
  CreateDropDownList(kPowerList, 470, 60, 140, 180);
  CreateDropDownList(kBandList, 470, 85, 140, 180);
  CreateDropDownList(kModeList, 470, 110, 140, 180);
  CreateTextField(kEmailField, 170, 85, 140, 20, "");
  for (int k = 1; k <= 3; ++k) {
    for (int row = 1; row <= kOperatorRows; ++row) {
      CreateTextField(OperatorField(k, row), 20 + 150 * k, 135 + 25 * row, 140, 20, "");
    }
  }
  CreatePushButton(kSaveButton, 470, 370, 140, 25, "Сохранить"_cp);
  CreatePushButton(kBackButton, 320, 370, 140, 25, "Назад"_cp);
}

void ShowHeader() {
  FillNamedList(kContestList, ContestList, ReportHeader.Contest);
  FillNamedList(kBandList, BandList, ReportHeader.CategoryBand);
  FillChoices(kOperatorCategoryList, kOperatorCategoryChoices);
  FillChoices(kPowerList, kPowerChoices);
  FillChoices(kModeList, kModeChoices);
  SetControlText(kCallsignField, ReportHeader.Callsign);
  SetControlText(kLocationField, ReportHeader.Location);
  SetControlText(kEmailField, ReportHeader.Email);
  SetControlValue(kOperatorCategoryList,
                  ChoiceIndex(kOperatorCategoryChoices, ReportHeader.CategoryOperator));
  SetControlValue(kPowerList, ChoiceIndex(kPowerChoices, ReportHeader.CategoryPower));
  SetControlValue(kModeList, ChoiceIndex(kModeChoices, ReportHeader.CategoryMode));
  RestrictModeFlags(ReportHeader.CategoryMode, false);
  for (int k = 1; k <= 3; ++k) SetControlDisabled(OperatorField(k, kOperatorRows), 1);
  for (int k = 1; k <= 3; ++k) {
    const auto details = SplitOperatorEntry(ReportHeader.Operators[static_cast<std::size_t>(k)]);
    for (int j = 1; j <= kOperatorDetails; ++j) {
      SetControlText(OperatorField(k, j), details[static_cast<std::size_t>(j)]);
    }
  }
}

// Operators 2 and 3 are open to the operator categories that have them;
// column 1 is always open. No selection changes nothing.
void EnableOperatorColumns() {
  bool second = false;
  bool third = false;
  switch (GetControlValue(kOperatorCategoryList)) {
    case 0:
    case 3:
      second = third = true;
      break;
    case 1:
      second = true;
      break;
    case 2:
      break;
    default:
      return;
  }
  for (int row = 1; row < kOperatorRows; ++row) {
    SetControlDisabled(OperatorField(2, row), second ? 0 : 1);
    SetControlDisabled(OperatorField(3, row), third ? 0 : 1);
  }
}

// The category value of the list's selection; false (field unchanged) when
// nothing is selected.
template <std::size_t N>
bool SelectedChoice(int listId, const std::array<CategoryChoice, N>& choices, std::string* out) {
  const int index = GetControlValue(listId);
  if (index < 0 || index >= static_cast<int>(N)) return false;
  *out = std::string(choices[static_cast<std::size_t>(index)].value);
  return true;
}

void SaveHeader() {
  ReportHeader.Contest = ListAbbreviation(ContestList, GetControlValue(kContestList) + 1);
  ReportHeader.CategoryBand = ListAbbreviation(BandList, GetControlValue(kBandList) + 1);
  ReportHeader.Callsign = GetControlText(kCallsignField);
  ReportHeader.Location = GetControlText(kLocationField);
  SelectedChoice(kOperatorCategoryList, kOperatorCategoryChoices, &ReportHeader.CategoryOperator);
  SelectedChoice(kPowerList, kPowerChoices, &ReportHeader.CategoryPower);
  if (SelectedChoice(kModeList, kModeChoices, &ReportHeader.CategoryMode)) {
    RestrictModeFlags(ReportHeader.CategoryMode, true);
  }
  ReportHeader.Email = GetControlText(kEmailField);
  for (int k = 1; k <= 3; ++k) {
    std::array<std::string, kOperatorDetails + 1> details;
    for (int j = 1; j <= kOperatorDetails; ++j) {
      details[static_cast<std::size_t>(j)] = GetControlText(OperatorField(k, j));
    }
    ReportHeader.Operators[static_cast<std::size_t>(k)] =
        details[1].empty() ? std::string() : JoinOperatorDetails(details);
  }
  StoreCell(0, 0, 0, "");
}

}  // namespace

void EditReportHeader() {
  if (OpenModalWindow(kHeaderWindowId, 640, 420, "Шапка отчёта"_cp) == 0) return;
  CreateHeaderControls();
  ShowHeader();
  EnableOperatorColumns();
  while (true) {
    const int code = WaitForEvent();
    if (EventWindowId() != kHeaderWindowId) continue;
    const bool leave = IsDialogCancel(code);
    EnableOperatorColumns();
    if (leave) break;
    if (code != kEventControl) continue;
    if (EventSourceId() == kBackButton) break;
    if (EventSourceId() == kSaveButton) {
      SaveHeader();
      break;
    }
  }
  CloseModalWindow(kHeaderWindowId);
  SetControlText(kStationBoxId, ReportHeader.Callsign);
}
