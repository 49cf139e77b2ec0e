#include "settings/options.h"

#include <algorithm>

#include "base/date.h"
#include "base/keyvalue.h"
#include "settings/settings.h"

OptionsRecord Options;

void ResetOptions() {
  Options = {};
  SetClockUtc(Options.ClockUtc);
}

void LoadOptions() {
  const OptionsRecord defaults;
  OptionsRecord& o = Options;
  if (!OpenKeyValueFile(kOptionsFileName)) {
    CloseKeyValueFile();
    SetClockUtc(o.ClockUtc);
    return;
  }
  SelectKeyGroup(kClockGroup);
  o.ClockUtc = ReadKeyInteger("UTC", defaults.ClockUtc ? 1 : 0) == 1;
  SetClockUtc(o.ClockUtc);
  SelectKeyGroup(kRigGroup);
  o.RigModel = ReadKeyInteger("Model", defaults.RigModel);
  o.RigPort = ReadKeyString("Port", defaults.RigPort);
  o.RigSpeed = ReadKeyInteger("Speed", defaults.RigSpeed);
  CloseKeyValueFile();
}

namespace {

void WriteGroup(std::string_view group) {
  const OptionsRecord& o = Options;
  SelectKeyGroup(group);
  if (group == kClockGroup) {
    WriteKeyInteger("UTC", o.ClockUtc ? 1 : 0);
  } else if (group == kRigGroup) {
    WriteKeyInteger("Model", o.RigModel);
    WriteKeyString("Port", o.RigPort);
    WriteKeyInteger("Speed", o.RigSpeed);
  }
}

}  // namespace

bool SaveOptionsGroup(std::string_view group) {
  // A missing file is made; an existing one keeps everything but the keys of
  // this group and of the groups whose last write failed.
  std::vector<std::string>& pending = SettingsWrites.OptionsUnsaved;
  const bool wasUnsaved = !pending.empty();
  if (std::find(pending.begin(), pending.end(), group) == pending.end()) {
    pending.emplace_back(group);
  }
  OpenKeyValueFile(kOptionsFileName);
  for (const std::string& each : pending) WriteGroup(each);
  const bool written = CloseKeyValueFile();
  if (written) {
    pending.clear();
  } else if (!wasUnsaved) {
    SettingsWrites.UnsaidFile = kOptionsFileName;  // said once, not at every retry
  }
  return written;
}
