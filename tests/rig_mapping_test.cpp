// What a reading of the radio becomes in the log: the band cell's text from
// the frequency, the mode cell's from Hamlib's mode name.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "log/log.h"
#include "rig/rig.h"

namespace {

TEST(RigMappingTest, FrequencyToBandText) {
  const struct {
    int64_t hz;
    const char* want;  // "": the cell is left alone
  } kCases[] = {
      {14025000, "14025"},
      {14025999, "14025"},  // whole kHz, not rounded up
      {14000000, "14000"},  // the edges of a class are in it
      {14280000, "14280"},
      {14280999, "14280"},
      {14281000, ""},       // past 20 m
      {13999999, ""},       // 13999 kHz: below 20 m
      {1810000, "1810"},
      {3573000, "3573"},
      {7074000, "7074"},
      {7150000, ""},        // beyond the log's 40 m class
      {21074000, "21074"},
      {28500000, "28500"},
      {10136000, ""},       // 30 m has no class
      {50313000, ""},       // 6 m has none
      {144300000, ""},      // 144300 kHz: the VHF classes are in MHz
      {999, ""},            // under 1 kHz
      {0, ""},
      {-14025000, ""},
      {INT64_MAX, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.hz);
    const std::string text = BandTextOfFrequency(c.hz);
    EXPECT_EQ(text, c.want);
    if (!text.empty()) {
      EXPECT_NE(ClassifyBand(text), 0);
    }
  }
}

TEST(RigMappingTest, HamlibModeToProgramMode) {
  const struct {
    const char* hamlib;
    const char* want;  // "": the cell is left alone
  } kCases[] = {
      {"USB", "PH"}, {"LSB", "PH"},   {"CW", "CW"},    {"CWR", "CW"},   {"FM", "FM"},
      {"AM", ""},    {"RTTY", ""},    {"RTTYR", ""},   {"PKTUSB", ""},  {"PKTFM", ""},
      {"WFM", ""},   {"FMN", ""},     {"usb", ""},     {"", ""},        {"USB ", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.hamlib);
    EXPECT_EQ(ProgramModeOf(c.hamlib), c.want);
  }
}

}  // namespace
