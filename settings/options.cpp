#include "settings/options.h"

#include "base/keyvalue.h"

OptionsRecord Options;

void ResetOptions() { Options = {}; }

void LoadOptions() {
  const OptionsRecord defaults;
  OptionsRecord& o = Options;
  if (!OpenKeyValueFile(kOptionsFileName)) {
    CloseKeyValueFile();
    return;
  }
  SelectKeyGroup(kClockGroup);
  o.ClockUtc = ReadKeyInteger("UTC", defaults.ClockUtc ? 1 : 0) == 1;
  SelectKeyGroup(kRigGroup);
  o.RigModel = ReadKeyInteger("Model", defaults.RigModel);
  o.RigPort = ReadKeyString("Port", defaults.RigPort);
  o.RigSpeed = ReadKeyInteger("Speed", defaults.RigSpeed);
  CloseKeyValueFile();
}

bool SaveOptionsGroup(std::string_view group) {
  // A missing file is made; an existing one keeps everything but this group's keys.
  OpenKeyValueFile(kOptionsFileName);
  const OptionsRecord& o = Options;
  SelectKeyGroup(group);
  if (group == kClockGroup) {
    WriteKeyInteger("UTC", o.ClockUtc ? 1 : 0);
  } else if (group == kRigGroup) {
    WriteKeyInteger("Model", o.RigModel);
    WriteKeyString("Port", o.RigPort);
    WriteKeyInteger("Speed", o.RigSpeed);
  }
  return CloseKeyValueFile();
}
