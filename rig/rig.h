// Rig control: the transceiver's frequency and mode read through Hamlib in a
// poller thread of its own, so that a radio that answers slowly or not at all
// never holds up the program. The program's thread only takes the latest
// reading (TakeRigReading) and decides what the log makes of it; this module
// changes no log field and shows nothing in the main window. It also holds
// the pure mapping of a reading to the band and mode texts of the log, and
// the "Трансивер" dialog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the poller knows of the radio.
inline constexpr int kRigOff = 0;       // no rig configured: the poller is idle
inline constexpr int kRigWaiting = 1;   // configured, the first answer not yet in
inline constexpr int kRigAnswers = 2;   // the last request was answered
inline constexpr int kRigSilent = 3;    // the radio could not be opened or did not answer

// How often an answering radio is asked, and how long the poller waits
// before it opens a radio again that did not answer.
inline constexpr int kRigPollMs = 200;
inline constexpr int kRigRetryMs = 1000;
// A Hamlib call still running after this long counts as no answer: on a dead
// serial line Hamlib tries again and again and may take many seconds.
inline constexpr int kRigAnswerMs = 2500;
// How long the end of the program waits for a poller inside a Hamlib call.
inline constexpr int kRigStopWaitMs = 1500;
// Hamlib's model of a radio served over the network by rigctld.
inline constexpr int32_t kRigNetworkModel = 2;

struct RigReading {
  int32_t session = 0;  // ConfigureRig's count: a new one begins with each setup
  int link = kRigOff;
  int64_t frequencyHz = 0;  // when link is kRigAnswers
  std::string mode;         // Hamlib's name of the mode ("USB", "CWR", ...)
};

// False when the program was built without Hamlib: the poller then never
// answers and the dialog says so.
bool RigControlBuilt();
// Hands the poller a new setup (model 0: none) and begins a new session; the
// poller thread is started at the first setup with a model. Returns at once,
// even while the poller is inside a Hamlib call.
void ConfigureRig(int32_t model, std::string_view port, int32_t speed);
// The latest reading of the current session; never waits for the radio. It
// says kRigSilent while a Hamlib call has run longer than kRigAnswerMs.
RigReading TakeRigReading();
// The end of the poller: the thread is asked to stop and joined, or left to
// end by itself when it is still inside a Hamlib call after kRigStopWaitMs.
void StopRigPoller();

// The radio models Hamlib knows, sorted by maker, then model (letter case
// ignored), then number. Empty without Hamlib.
struct RigModelEntry {
  int32_t model = 0;
  std::string maker, name;  // ASCII; other bytes become '?'
};
std::vector<RigModelEntry> ListRigModels();

// The band cell's text for a frequency: the whole kHz ("14025" for
// 14025000 Hz) when one of the log's band classes takes that text; "" when
// none does (the cell is then left alone).
std::string BandTextOfFrequency(int64_t frequencyHz);
// The log's mode for one of Hamlib's: USB and LSB are PH, CW and CWR are CW,
// FM is FM; "" for every other mode (the cell is then left alone).
std::string ProgramModeOf(std::string_view hamlibMode);

// "Трансивер": the model, port and speed of the radio, or "Отключено"; its
// Save writes the Rig group of options.ini and hands the poller the new setup.
void RigDialog();
inline constexpr int kRigWindowId = 7;
