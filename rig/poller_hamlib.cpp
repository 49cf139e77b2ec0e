// The poller on Hamlib. One thread for the whole run, started at the first
// setup with a model: it opens the radio, asks its frequency and mode every
// kRigPollMs, and when the radio does not answer closes it and opens it again
// every kRigRetryMs. A new setup is picked up after the call in progress; a
// reading made under an older setup is dropped.
#include <dlfcn.h>
#include <hamlib/rig.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "rig/rig.h"

namespace {

using Clock = std::chrono::steady_clock;

// Hamlib is loaded when a radio is first wanted, not with the program: linked
// in, it and the libraries it brings would cost every run megabytes of memory
// and time at each key although no radio is configured.
struct HamlibApi {
  decltype(&rig_set_debug) setDebug;
  decltype(&rig_load_all_backends) loadAllBackends;
  decltype(&rig_init) init;
  decltype(&rig_open) open;
  decltype(&rig_close) close;
  decltype(&rig_cleanup) cleanup;
  decltype(&rig_get_freq) getFreq;
  decltype(&rig_get_mode) getMode;
  decltype(&rig_strrmode) strrmode;
  decltype(&rig_token_lookup) tokenLookup;
  decltype(&rig_set_conf) setConf;
  decltype(&rig_list_foreach) listForeach;
};

template <class Function>
bool Find(void* library, const char* name, Function& out) {
  out = reinterpret_cast<Function>(dlsym(library, name));
  return out != nullptr;
}

// The library's functions, loaded once in the run; nullptr when it is missing.
const HamlibApi* Hamlib() {
  static const HamlibApi* const api = []() -> const HamlibApi* {
    void* library = dlopen(CORVANE_HAMLIB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static HamlibApi found{};
    const bool all = Find(library, "rig_set_debug", found.setDebug) &&
                     Find(library, "rig_load_all_backends", found.loadAllBackends) &&
                     Find(library, "rig_init", found.init) && Find(library, "rig_open", found.open) &&
                     Find(library, "rig_close", found.close) &&
                     Find(library, "rig_cleanup", found.cleanup) &&
                     Find(library, "rig_get_freq", found.getFreq) &&
                     Find(library, "rig_get_mode", found.getMode) &&
                     Find(library, "rig_strrmode", found.strrmode) &&
                     Find(library, "rig_token_lookup", found.tokenLookup) &&
                     Find(library, "rig_set_conf", found.setConf) &&
                     Find(library, "rig_list_foreach", found.listForeach);
    return all ? &found : nullptr;  // the library stays loaded for the run
  }();
  return api;
}

// Hamlib's table of backends is filled as models are first used and is not
// guarded by Hamlib itself: its readers and writers take this lock. Never
// destroyed: a poller left inside a Hamlib call at the end may still take it.
std::mutex& HamlibLock = *new std::mutex;
bool BackendsLoaded = false;  // guarded by HamlibLock

// Every backend into Hamlib's table, once in the run (loaded again, Hamlib
// registers each model anew and loses the old entry). Under HamlibLock.
bool LoadBackends() {
  const HamlibApi* hamlib = Hamlib();
  if (hamlib == nullptr) return false;
  if (BackendsLoaded) return true;
  hamlib->setDebug(RIG_DEBUG_NONE);
  hamlib->loadAllBackends();
  BackendsLoaded = true;
  return true;
}

struct RigSetup {
  int32_t model = 0;
  std::string port;
  int32_t speed = 0;
};

// What the program's thread and the poller thread share; every field is
// guarded by `lock`. The poller holds its own reference, so a poller that is
// left to end by itself never reads freed memory.
struct PollerShared {
  std::mutex lock;
  std::condition_variable wake;  // a new setup, a stop, or the poller's end
  bool stop = false;
  bool finished = false;
  int32_t session = 0;
  RigSetup setup;
  RigReading latest;
  bool inCall = false;      // the poller is inside Hamlib calls for a reading
  Clock::time_point since;  // ... since then
};

// The poller as the program's thread sees it.
struct PollerRecord {
  std::shared_ptr<PollerShared> shared;
  std::thread thread;
  int32_t sessions = 0;  // sessions begun in this run, never reset
  ~PollerRecord();
};
PollerRecord Poller;

void SetRigConf(RIG* rig, const char* name, const std::string& value) {
  const auto token = Hamlib()->tokenLookup(rig, name);
  if (token != RIG_CONF_END) Hamlib()->setConf(rig, token, value.c_str());
}

void CloseRig(RIG* rig) {
  Hamlib()->close(rig);
  const std::lock_guard<std::mutex> hold(HamlibLock);
  Hamlib()->cleanup(rig);
}

// The radio of `setup` opened; nullptr when it cannot be.
RIG* OpenRig(const RigSetup& setup) {
  RIG* rig = nullptr;
  {
    const std::lock_guard<std::mutex> hold(HamlibLock);
    if (!LoadBackends()) return nullptr;
    rig = Hamlib()->init(static_cast<rig_model_t>(setup.model));
  }
  if (rig == nullptr) return nullptr;
  if (!setup.port.empty()) SetRigConf(rig, "rig_pathname", setup.port);
  if (setup.speed > 0) SetRigConf(rig, "serial_speed", DecimalText(setup.speed));
  if (Hamlib()->open(rig) != RIG_OK) {
    const std::lock_guard<std::mutex> hold(HamlibLock);
    Hamlib()->cleanup(rig);
    return nullptr;
  }
  return rig;
}

// The frequency and mode of the current VFO into `reading`; false when the
// radio did not answer both.
bool ReadRig(RIG* rig, RigReading& reading) {
  freq_t frequency = 0;
  rmode_t mode = RIG_MODE_NONE;
  pbwidth_t width = 0;
  if (Hamlib()->getFreq(rig, RIG_VFO_CURR, &frequency) != RIG_OK) return false;
  if (Hamlib()->getMode(rig, RIG_VFO_CURR, &mode, &width) != RIG_OK) return false;
  // A frequency no radio has (negative, not a number, past 10 THz) reads as 0.
  reading.frequencyHz =
      frequency > 0 && frequency < 1e13 ? static_cast<int64_t>(std::llround(frequency)) : 0;
  const char* name = Hamlib()->strrmode(mode);
  reading.mode = name != nullptr ? name : "";
  return true;
}

void PollLoop(std::shared_ptr<PollerShared> shared) {
  PollerShared& s = *shared;
  RIG* rig = nullptr;
  int32_t rigSession = 0;  // the session whose setup `rig` was opened with
  std::unique_lock<std::mutex> hold(s.lock);
  while (!s.stop) {
    const int32_t session = s.session;
    const RigSetup setup = s.setup;
    s.inCall = true;
    s.since = Clock::now();
    hold.unlock();
    if (rig != nullptr && rigSession != session) {
      CloseRig(rig);
      rig = nullptr;
    }
    RigReading reading;
    reading.session = session;
    bool answered = false;
    if (setup.model != 0) {
      if (rig == nullptr) {
        rig = OpenRig(setup);
        rigSession = session;
      }
      answered = rig != nullptr && ReadRig(rig, reading);
      if (!answered && rig != nullptr) {
        CloseRig(rig);
        rig = nullptr;
      }
    }
    hold.lock();
    s.inCall = false;
    if (s.session != session) continue;  // set up anew meanwhile
    if (setup.model == 0) {
      s.wake.wait(hold, [&] { return s.stop || s.session != session; });
      continue;
    }
    reading.link = answered ? kRigAnswers : kRigSilent;
    s.latest = reading;
    s.wake.wait_for(hold, std::chrono::milliseconds(answered ? kRigPollMs : kRigRetryMs),
                    [&] { return s.stop || s.session != session; });
  }
  hold.unlock();
  if (rig != nullptr) CloseRig(rig);
  hold.lock();
  s.finished = true;
  s.wake.notify_all();
}

int AddModel(const struct rig_caps* caps, rig_ptr_t data) {
  // Names as Hamlib spells them, kept to ASCII so that they read the same in
  // the program's code page.
  const auto ascii = [](const char* text) {
    std::string out = text != nullptr ? text : "";
    for (char& c : out) {
      if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return out;
  };
  static_cast<std::vector<RigModelEntry>*>(data)->push_back(
      {static_cast<int32_t>(caps->rig_model), ascii(caps->mfg_name), ascii(caps->model_name)});
  return 1;  // go on
}

std::string Folded(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

PollerRecord::~PollerRecord() { StopRigPoller(); }

}  // namespace

bool RigControlBuilt() { return Hamlib() != nullptr; }

void ConfigureRig(int32_t model, std::string_view port, int32_t speed) {
  if (Poller.shared == nullptr) Poller.shared = std::make_shared<PollerShared>();
  PollerShared& s = *Poller.shared;
  {
    const std::lock_guard<std::mutex> hold(s.lock);
    s.session = ++Poller.sessions;
    s.setup = {model, std::string(port), speed};
    s.latest = {};
    s.latest.session = s.session;
    s.latest.link = model != 0 ? kRigWaiting : kRigOff;
  }
  s.wake.notify_all();
  if (model != 0 && !Poller.thread.joinable()) Poller.thread = std::thread(PollLoop, Poller.shared);
}

RigReading TakeRigReading() {
  if (Poller.shared == nullptr) return {};
  PollerShared& s = *Poller.shared;
  const std::lock_guard<std::mutex> hold(s.lock);
  RigReading reading = s.latest;
  if (s.inCall && reading.link != kRigOff &&
      Clock::now() - s.since > std::chrono::milliseconds(kRigAnswerMs)) {
    reading.link = kRigSilent;
  }
  return reading;
}

void StopRigPoller() {
  if (!Poller.thread.joinable()) return;
  PollerShared& s = *Poller.shared;
  bool ended = false;
  {
    std::unique_lock<std::mutex> hold(s.lock);
    s.stop = true;
    s.wake.notify_all();
    ended = s.wake.wait_for(hold, std::chrono::milliseconds(kRigStopWaitMs),
                            [&] { return s.finished; });
  }
  if (ended) {
    Poller.thread.join();
  } else {
    Poller.thread.detach();  // it holds its own reference to what it shares
  }
  Poller.shared.reset();
}

std::vector<RigModelEntry> ListRigModels() {
  std::vector<RigModelEntry> models;
  {
    const std::lock_guard<std::mutex> hold(HamlibLock);
    if (LoadBackends()) Hamlib()->listForeach(AddModel, &models);
  }
  std::sort(models.begin(), models.end(), [](const RigModelEntry& a, const RigModelEntry& b) {
    const std::string makerA = Folded(a.maker), makerB = Folded(b.maker);
    if (makerA != makerB) return makerA < makerB;
    const std::string nameA = Folded(a.name), nameB = Folded(b.name);
    if (nameA != nameB) return nameA < nameB;
    return a.model < b.model;
  });
  return models;
}
