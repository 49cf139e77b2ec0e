// The poller where the program is built without Hamlib: a setup is taken and
// kept, but no radio is ever asked, so the program goes on as without a rig.
#include "rig/rig.h"

namespace {

int32_t Sessions = 0;

}  // namespace

bool RigControlBuilt() { return false; }

void ConfigureRig(int32_t, std::string_view, int32_t) { ++Sessions; }

RigReading TakeRigReading() {
  RigReading reading;
  reading.session = Sessions;
  return reading;
}

void StopRigPoller() {}

std::vector<RigModelEntry> ListRigModels() { return {}; }
