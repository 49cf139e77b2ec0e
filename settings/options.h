// The settings that go beyond corvane.ini: "options.ini" beside it, in the
// same key-value format and written the same safe way, one group per feature,
// so that corvane.ini keeps its exact layout. No file means every option is
// off, as the program is without them. Saving one group keeps every other
// group and key of the file as it was (also those this version does not know).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr char kOptionsFileName[] = "options.ini";

struct OptionsRecord {
  // Group Clock
  bool ClockUtc = false;  // key UTC: 1 = every reading of the clock is UTC
  // Group Rig
  int32_t RigModel = 0;  // key Model: the radio's model number; 0 = no rig
  std::string RigPort;   // key Port: a device path, or host:port
  int32_t RigSpeed = 0;  // key Speed: serial speed; 0 = the model's default
};
extern OptionsRecord Options;

inline constexpr std::string_view kClockGroup = "Clock";
inline constexpr std::string_view kRigGroup = "Rig";

// ResetOptions and LoadOptions also put the program's clock in the kind the
// Clock group names (local time or UTC).
void ResetOptions();
// Reads every group from options.ini; keys that are missing keep their defaults.
void LoadOptions();
// Writes the keys of one group (kClockGroup, kRigGroup) into options.ini.
// False when the file could not be written.
bool SaveOptionsGroup(std::string_view group);
