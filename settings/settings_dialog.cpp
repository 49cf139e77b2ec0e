// "Настройки": the modal dialog that edits the sub-tour length, the enabled
// bands and modes and the sent number's changing part, and saves them to the
// settings file. It shows the informer switch but never changes it.
#include "settings/settings.h"

#include <string_view>

#include "base/text.h"
#include "ui/modal.h"

namespace {

constexpr int kWindowId = 3;

constexpr int kOption30 = 10;
constexpr int kOption60 = 11;
constexpr int kOptionInformerOn = 12;
constexpr int kOptionInformerOff = 13;
constexpr int kFirstBandBox = 14;  // 14..22 show BandFlags 1..9
constexpr int kFirstModeBox = 24;  // 24..29 show ModeFlags 1..6
constexpr int kLengthField = 34;
constexpr int kPositionList = 35;
constexpr int kSaveButton = 40;
constexpr int kOptionWidth = 140;
constexpr int kOptionHeight = 20;

constexpr std::array<std::string_view, kBandClasses> kBandTexts = {
    "1900 КГц"_cp,  "3500 КГц"_cp, "7000 КГц"_cp, "14200 КГц"_cp, "21200 КГц"_cp,
    "28500 КГц"_cp, "145 МГц"_cp,  "433 МГц"_cp,  "1296 МГц"_cp};
constexpr std::array<std::string_view, kModeClasses> kModeTexts = {
    "PH (SSB)", "CW (CW)", "FM (FM)", "PM (PSK63)", "PS (PSK31)", "TV (SSTV)"};

// List 35: entry index -> PosNum.
constexpr std::array<std::string_view, 3> kPositionTexts = {"справа"_cp, "слева"_cp, "нет"_cp};
constexpr std::array<std::string_view, 3> kPositionValues = {"Right", "Left", "None"};
constexpr int kPositionNone = 2;

void CreateControls() {
  CreateGroupFrame(1, 10, 10, 180, 80, "Время на подтур"_cp);
  CreateRadioOption(kOption30, 30, 30, kOptionWidth, kOptionHeight, "30 минут"_cp);
  CreateRadioOption(kOption60, 30, 55, kOptionWidth, kOptionHeight, "60 минут"_cp);
  // Frame 2 between the two pairs makes them two separate option groups.
  CreateGroupFrame(2, 200, 10, 180, 80, "Окно информера"_cp);
  CreateRadioOption(kOptionInformerOn, 220, 30, kOptionWidth, kOptionHeight, "Включено"_cp);
  CreateRadioOption(kOptionInformerOff, 220, 55, kOptionWidth, kOptionHeight, "Отключено"_cp);
  SetControlDisabled(kOptionInformerOff, 1);

  CreateGroupFrame(3, 10, 100, 180, 250, "Диапазоны"_cp);
  for (int k = 0; k < kBandClasses; ++k) {
    CreateCheckBox(kFirstBandBox + k, 30, 120 + 25 * k, kOptionWidth, kOptionHeight,
                   kBandTexts[static_cast<std::size_t>(k)]);
  }
  CreateGroupFrame(4, 200, 100, 180, 250, "Виды модуляции"_cp);
  for (int k = 0; k < kModeClasses; ++k) {
    CreateCheckBox(kFirstModeBox + k, 220, 120 + 25 * k, kOptionWidth, kOptionHeight,
                   kModeTexts[static_cast<std::size_t>(k)]);
  }
  CreateGroupFrame(5, 10, 360, 370, 80, "Переданный номер"_cp);
  CreateLabel(53, 30, 380, 260, 20, "Положение изменяемой части:"_cp, kLabelLeft);
  CreateLabel(54, 30, 405, 260, 20, "Длина изменяемой части:"_cp, kLabelLeft);
  CreateTextField(kLengthField, 280, 405, 80, 20, "");
  CreateDropDownList(kPositionList, 280, 380, 80, 70);
  for (const std::string_view text : kPositionTexts) AppendListEntry(kPositionList, text);
  CreatePushButton(kSaveButton, 125, 450, 140, 25, "Сохранить"_cp);
}

// Puts the values of AppSettings into the controls. A PosNum other than the
// three exact words leaves the list without a selection; field 34 starts
// enabled whatever PosNum holds.
void ShowSettings() {
  for (std::size_t i = 0; i < kPositionValues.size(); ++i) {
    if (TextEqual(AppSettings.PosNum, kPositionValues[i])) {
      SetControlValue(kPositionList, static_cast<int>(i));
    }
  }
  SetControlText(kLengthField, DecimalText(AppSettings.LenNum));

  const bool thirty = AppSettings.TimeMin == 30;
  SetControlValue(kOption30, thirty ? 1 : 0);
  SetControlValue(kOption60, thirty ? 0 : 1);
  const bool informer = AppSettings.RightWin == 1;
  SetControlValue(kOptionInformerOn, informer ? 1 : 0);
  SetControlValue(kOptionInformerOff, informer ? 0 : 1);
  // Any flag other than 0 shows checked.
  for (int i = 1; i <= kBandClasses; ++i) {
    SetControlValue(kFirstBandBox - 1 + i,
                    AppSettings.BandFlags[static_cast<std::size_t>(i)] != 0 ? 1 : 0);
  }
  for (int i = 1; i <= kModeClasses; ++i) {
    SetControlValue(kFirstModeBox - 1 + i,
                    AppSettings.ModeFlags[static_cast<std::size_t>(i)] != 0 ? 1 : 0);
  }
}

// "Сохранить": the controls into AppSettings (the informer options are not
// read), then the settings file.
void StoreSettings() {
  AppSettings.TimeMin = GetControlValue(kOption30) != 0 ? 30 : 60;
  for (int i = 1; i <= kBandClasses; ++i) {
    AppSettings.BandFlags[static_cast<std::size_t>(i)] =
        GetControlValue(kFirstBandBox - 1 + i) != 0 ? 1 : 0;
  }
  for (int i = 1; i <= kModeClasses; ++i) {
    AppSettings.ModeFlags[static_cast<std::size_t>(i)] =
        GetControlValue(kFirstModeBox - 1 + i) != 0 ? 1 : 0;
  }
  const int position = GetControlValue(kPositionList);
  if (position >= 0 && position < static_cast<int>(kPositionValues.size())) {
    AppSettings.PosNum = std::string(kPositionValues[static_cast<std::size_t>(position)]);
  }
  AppSettings.LenNum = ParseDecimal(GetControlText(kLengthField));
  SaveSettings();
}

}  // namespace

void SettingsDialog() {
  // The preferences come from the file, but the report being written stays
  // the one that is open: a settings file left stale (unwritable, or saved by
  // another copy of the program) must not turn the log's rewrites onto
  // another report.
  const std::string openReport = AppSettings.File;
  LoadSettings();
  AppSettings.File = openReport;
  if (OpenModalWindow(kWindowId, 390, 490, "Настройки"_cp) == 0) return;
  CreateControls();
  ShowSettings();

  bool done = false;
  while (!done) {
    const int code = WaitForEvent();
    if (EventWindowId() != kWindowId) continue;
    if (IsDialogCancel(code)) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kPositionList) {
      SetControlDisabled(kLengthField, GetControlValue(kPositionList) == kPositionNone ? 1 : 0);
    } else if (code == kEventControl && EventSourceId() == kSaveButton) {
      StoreSettings();
      done = true;
    }
  }
  CloseModalWindow(kWindowId);
}
