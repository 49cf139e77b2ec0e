// The standard dialogs of the Qt backend: the message box and the file
// dialogs. While one is open every other enabled program window is disabled;
// afterwards exactly those are enabled again and the window that was active
// gets the keyboard back (a window manager would do that; Xvfb has none).
#include "ui/window.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include "base/cp1251.h"
#include "ui/qt/layer_qt.h"
#include "ui/qt/window_qt.h"

namespace qtwindow {

QStringList NameFiltersOf(std::string_view pattern) {
  QStringList parts;
  std::size_t start = 0;
  while (start <= pattern.size()) {
    const std::size_t bar = std::min(pattern.find('|', start), pattern.size());
    parts.append(ToQString(pattern.substr(start, bar - start)));
    start = bar + 1;
  }
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString filter = parts[i + 1].trimmed();
    if (filter.isEmpty()) continue;
    filter.replace(QLatin1Char(';'), QLatin1Char(' '));
    // The last parenthesised part is what Qt matches, so it is always added.
    filters.append(parts[i] + QStringLiteral(" (") + filter + QLatin1Char(')'));
  }
  return filters;
}

int NameFilterIndex(int patternIndex, int filterCount) {
  if (patternIndex <= 1 || patternIndex > filterCount) return 0;
  return patternIndex - 1;
}

namespace {

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Keeps the other program windows disabled while a standard dialog is open.
class StandardDialogScope {
 public:
  StandardDialogScope()
      : active_(QApplication::activeWindow()), disabled_(DisableEnabledWindows()) {}
  ~StandardDialogScope() {
    EnableWindows(disabled_);
    if (active_ && active_->isEnabled()) active_->activateWindow();
  }
  StandardDialogScope(const StandardDialogScope&) = delete;
  StandardDialogScope& operator=(const StandardDialogScope&) = delete;

 private:
  QPointer<QWidget> active_;
  std::vector<int> disabled_;
};

QMessageBox::Icon IconOf(int flags) {
  switch (flags & 0xF0) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Buttons of the MB_ button sets and the results Win32 gives for them.
struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton escape;  // what closing the box answers
};

ButtonSet ButtonsOf(int flags) {
  switch (flags & 0xF) {
    case 1:
      return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel};
    case 2:
      return {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::NoButton};
    case 3:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel};
    case 4:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton};
    case 5:
      return {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel};
    default:
      return {QMessageBox::Ok, QMessageBox::Ok};
  }
}

int ResultOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return kIdOk;
    case QMessageBox::Cancel:
      return kIdCancel;
    case QMessageBox::Abort:
      return 3;
    case QMessageBox::Retry:
      return 4;
    case QMessageBox::Ignore:
      return 5;
    case QMessageBox::Yes:
      return 6;
    case QMessageBox::No:
      return 7;
    default:
      return kIdCancel;
  }
}

std::string AskFileName(bool save, std::string_view title, std::string_view defaultFile,
                        std::string_view pattern, int patternIndex) {
  RunBeforeWaitHook();
  if (!Layer) return {};
  QFileDialog dialog(nullptr, ToQString(title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // the open dialog takes a new name too
  if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList filters = NameFiltersOf(pattern);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(
        filters[NameFilterIndex(patternIndex, static_cast<int>(filters.size()))]);
  }
  const QString start = ToQString(defaultFile);
  const QFileInfo startInfo(start);
  const bool hasFolder = start.contains(QLatin1Char('/'));
  dialog.setDirectory(hasFolder ? startInfo.absolutePath() : QDir::currentPath());
  if (!start.isEmpty()) dialog.selectFile(startInfo.fileName());

  const StandardDialogScope scope;
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    const QFileInfo file(chosen.first());
    if (!file.absoluteDir().exists() || file.fileName().isEmpty()) continue;  // folder must exist
    const std::u16string path = QDir::toNativeSeparators(file.absoluteFilePath()).toStdU16String();
    bool lossless = true;
    const std::string bytes = cp1251::FromUtf16(path, &lossless);
    // A name Windows-1251 cannot write could not be opened again: choose another.
    if (lossless) return bytes;
  }
}

}  // namespace
}  // namespace qtwindow

using namespace qtwindow;

int ShowMessageBox(std::string_view title, std::string_view text, int flags) {
  RunBeforeWaitHook();
  if (!Layer) return 0;
  const ButtonSet set = ButtonsOf(flags);
  QMessageBox box(IconOf(flags), ToQString(title), ToQString(text), set.buttons);
  box.setTextFormat(Qt::PlainText);
  if (set.escape != QMessageBox::NoButton) box.setEscapeButton(set.escape);
  const StandardDialogScope scope;
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return ResultOf(clicked ? box.standardButton(clicked) : set.escape);
}

std::string AskOpenFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName(false, title, defaultFile, pattern, patternIndex);
}

std::string AskSaveFileName(std::string_view title, std::string_view defaultFile,
                            std::string_view pattern, int patternIndex) {
  return AskFileName(true, title, defaultFile, pattern, patternIndex);
}
