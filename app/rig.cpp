// The entry row follows the radio: at each timer tick the poller's latest
// reading is taken (never waited for), and a frequency or mode that changed
// since the last one taken goes into the band and mode cells of the entry
// row, as long as its call-sign cell is empty, through StoreCell as a typed
// change goes. The band and mode keys win until the radio changes again.
#include <string>

#include "app/app.h"
#include "base/text.h"
#include "log/log.h"
#include "rig/rig.h"

namespace {

// Stores `text` in `column` of the entry row when it differs; true when stored.
bool StoreEntryField(int column, const std::string& text) {
  const int row = Log.QsoCount;
  std::string& field = Log.QsoLog[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  if (text.empty() || field == text) return false;
  const int gridRow = row - Log.TopOffset;
  if (gridRow >= 1 && gridRow <= kGridRows) {
    StoreCell(column, gridRow, Log.TopOffset, text);
  } else {
    field = text;          // the entry row is scrolled out of the grid
    StoreCell(0, 0, 0, "");  // the log changed all the same
  }
  return true;
}

}  // namespace

void FollowRig() {
  const RigReading reading = TakeRigReading();
  if (reading.session != App.RigSession) {  // a new setup: its first reading is taken
    App.RigSession = reading.session;
    App.RigFollowed = false;
  }
  App.RigSilent = reading.link == kRigSilent;
  if (reading.link != kRigAnswers) return;
  if (Log.QsoCount < 1 || Log.QsoCount > kLogRows) return;
  const bool newFrequency = !App.RigFollowed || reading.frequencyHz != App.RigFrequency;
  const bool newMode = !App.RigFollowed || reading.mode != App.RigMode;
  if (!newFrequency && !newMode) return;
  // A contact being typed is not touched; the reading waits for the next row.
  if (!TrimSpaces(Log.QsoLog[static_cast<std::size_t>(Log.QsoCount)][kColCall]).empty()) return;
  App.RigFollowed = true;
  App.RigFrequency = reading.frequencyHz;
  App.RigMode = reading.mode;
  bool stored = false;
  if (newFrequency) stored = StoreEntryField(kColBand, BandTextOfFrequency(reading.frequencyHz));
  if (newMode) stored = StoreEntryField(kColMode, ProgramModeOf(reading.mode)) || stored;
  // Another band may make the current row a repeat, or change the informer.
  if (stored) LogScan();
}
