// The help window, which shows the help picture CORVANE.BMP, and the About
// box. Neither changes the log or the cursor.
#include "app/app.h"

#include <array>
#include <string>

#include "base/cp1251.h"
#include "base/textfile.h"
#include "log/log.h"
#include "ui/window.h"

namespace {

constexpr int kHelpWidth = 700;
constexpr int kHelpHeight = 390;
constexpr int kHelpPictureId = 0;
constexpr int kHelpPictureControl = 1;
constexpr char kHelpPictureName[] = "CORVANE.BMP";
constexpr char kInstalledPictureFolder[] = "../share/corvane/";  // from the program's folder

// CORVANE.BMP in the current folder, else beside the program, else in the
// share folder of an installed program (<prefix>/bin/corvane finds
// <prefix>/share/corvane/CORVANE.BMP); the plain name when none exists (its
// load then fails and the window stays empty).
std::string HelpPicturePath() {
  if (FileExists(kHelpPictureName)) return kHelpPictureName;
  const std::string folder = ProgramFolder();
  if (folder.empty()) return kHelpPictureName;
  for (const std::string& candidate :
       {folder + kHelpPictureName, folder + kInstalledPictureFolder + kHelpPictureName}) {
    if (FileExists(candidate)) return candidate;
  }
  return kHelpPictureName;
}

bool ClosesHelp(int code) {
  if (EventWindowId() != kHelpWindowId) return false;
  return IsDialogCancel(code);
}

}  // namespace

bool OpenHelpWindow() {
  if (OpenModalWindow(kHelpWindowId, kHelpWidth, kHelpHeight, "Справка"_cp) == 0) return false;
  const NativeHandle picture =
      LoadPictureFile(kHelpPictureId, HelpPicturePath()) != 0 ? PictureHandle(kHelpPictureId) : 0;
  CreatePicture(kHelpPictureControl, 0, 0, kHelpWidth, kHelpHeight, picture);
  return true;
}

void RunHelpLoop() {
  while (!ClosesHelp(WaitForEvent())) {
  }
}

void CloseHelpWindow() { CloseModalWindow(kHelpWindowId); }

void ShowHelp() {
  if (!OpenHelpWindow()) return;  // no window, no loop to leave
  RunHelpLoop();
  CloseHelpWindow();
}

void ShowAbout() {
  const std::string text = std::string(kTitleText) + "\n" +
                           std::string("Авторы: команда разработчиков Corvane."_cp) + "\n" +
                           std::string("© 2010, авторы Corvane. Распространяется свободно."_cp);
  ShowMessageBox("О программе"_cp, text, kMessageBoxInformation);
}
