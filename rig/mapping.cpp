#include <string>
#include <string_view>

#include "base/text.h"
#include "log/log.h"
#include "rig/rig.h"

namespace {

// Frequencies above this many kHz (10 GHz) are no amateur band of the log's.
constexpr int64_t kHighestKhz = 10'000'000;

struct ModeName {
  std::string_view hamlib, program;
};
constexpr ModeName kModeNames[] = {
    {"USB", "PH"}, {"LSB", "PH"}, {"CW", "CW"}, {"CWR", "CW"}, {"FM", "FM"},
};

}  // namespace

std::string BandTextOfFrequency(int64_t frequencyHz) {
  const int64_t khz = frequencyHz / 1000;
  if (khz <= 0 || khz > kHighestKhz) return "";
  const std::string text = DecimalText(static_cast<int32_t>(khz));
  if (TextLength(text) > ColumnMaxLength[kColBand] || ClassifyBand(text) == 0) return "";
  return text;
}

std::string ProgramModeOf(std::string_view hamlibMode) {
  for (const ModeName& name : kModeNames) {
    if (hamlibMode == name.hamlib) return std::string(name.program);
  }
  return "";
}
