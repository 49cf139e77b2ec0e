// "Проверка отчёта": the check of the open report in a box of lines, and
// "Сохранить для отправки", which writes the copy for sending to a file the
// operator chooses (never over the report). The check is made once, when the
// window opens; the report and the log stay as they are.
#include "report/check.h"

#include <string>

#include "base/text.h"
#include "base/version.h"
#include "settings/settings.h"
#include "ui/modal.h"
#include "ui/window.h"

namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 440;
constexpr int kCheckFontId = 3;
constexpr int kTextBoxId = 601;
constexpr int kSplitBoxId = 602;
constexpr int kNoticeId = 603;
constexpr int kSaveButtonId = 604;
constexpr int kCloseButtonId = 605;

void CreateControls(const std::string& text) {
  CreateTextBox(kTextBoxId, 10, 10, 640, 340, text);
  NativeHandle font = FontHandle(kCheckFontId);  // loaded at the first opening
  if (font == 0) font = LoadFontFace(kCheckFontId, "Courier", 9, 0);
  if (font != 0) SetControlFont(kTextBoxId, font);
  CreateCheckBox(kSplitBoxId, 10, 358, 640, 20,
                 "Рапорт и номер в копии раздельно (599 001 вместо 599001)"_cp);
  CreateLabel(kNoticeId, 10, 382, 640, 18, "", kLabelLeft);
  CreatePushButton(kSaveButtonId, 340, 405, 190, 25, "Сохранить для отправки"_cp);
  CreatePushButton(kCloseButtonId, 540, 405, 110, 25, "Закрыть"_cp);
}

void SaveForSending(const CheckInput& input, const CheckResult& result) {
  const std::string report = AppSettings.File;
  const std::string offered = report.empty() ? std::string() : SendCopyName(report);
  const std::string chosen =
      AskSaveFileName("Сохранить для отправки"_cp, offered, kReportFilter, 0);
  if (chosen.empty()) return;
  const std::string path = WithReportExtension(chosen);
  const bool split = GetControlValue(kSplitBoxId) != 0;
  switch (WriteSendCopy(report, path, SendCopyText(input, result, split))) {
    case SendCopyWrite::Written:
      SetControlText(kNoticeId, std::string("Копия для отправки записана: "_cp) + path +
                                    std::string(" (связей: "_cp) +
                                    DecimalText(static_cast<int>(result.sendRows.size())) + ")");
      break;
    case SendCopyWrite::IsReport:
      ShowMessageBox(kTitleText, std::string("Копия не может заменить сам отчёт:"_cp) + "\n" + path,
                     kMessageBoxWarning);
      break;
    case SendCopyWrite::IsSettings:
      ShowMessageBox(kTitleText,
                     std::string("Копия не может заменить файл настроек:"_cp) + "\n" + path,
                     kMessageBoxWarning);
      break;
    case SendCopyWrite::Failed:
      ShowMessageBox(kTitleText, std::string("Не удалось записать копию:"_cp) + "\n" + path,
                     kMessageBoxWarning);
      break;
  }
}

}  // namespace

void ShowReportCheck() {
  const CheckInput input = OpenReportCheckInput();
  const CheckResult result = CheckReport(input);
  if (OpenModalWindow(kCheckWindowId, kWidth, kHeight, "Проверка отчёта"_cp) == 0) return;
  CreateControls(CheckReportText(input, result));

  bool done = false;
  while (!done) {
    const int code = WaitForEvent();
    if (EventWindowId() != kCheckWindowId) continue;
    if (IsDialogCancel(code)) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kCloseButtonId) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kSaveButtonId) {
      SaveForSending(input, result);
    }
  }
  CloseModalWindow(kCheckWindowId);
}
