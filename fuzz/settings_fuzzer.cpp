// The settings loader on any corvane.ini and options.ini: what was loaded and
// saved loads back to the same record, and saving it again gives the same
// bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/options.h"
#include "settings/settings.h"

namespace {

std::string Describe(const NamedList& list) {
  std::string out = std::to_string(list.Count);
  for (std::size_t i = 1; i < list.Names.size(); ++i)
    out += "|" + list.Names[i] + "|" + list.Abbrs[i];
  return out;
}

std::string Describe() {
  const AppSettingsRecord& s = AppSettings;
  std::string out = s.File + "|" + std::to_string(s.TimeMin) + "|" + std::to_string(s.RightWin) +
                    "|" + std::to_string(s.LenNum) + "|" + s.PosNum;
  for (int32_t flag : s.BandFlags) out += "|" + std::to_string(flag);
  for (int32_t flag : s.ModeFlags) out += "|" + std::to_string(flag);
  for (int32_t colour : {s.ColorText, s.Background, s.InfText, s.InfBack, s.InfUpText, s.InfUpBack,
                         s.MainUpText, s.MainUpBack}) {
    out += "|" + std::to_string(colour);
  }
  return out + "\ncontests " + Describe(ContestList) + "\nbands " + Describe(BandList);
}

std::string DescribeOptions() {
  return std::to_string(Options.ClockUtc) + "|" + std::to_string(Options.RigModel) + "|" +
         Options.RigPort + "|" + std::to_string(Options.RigSpeed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EnterPrivateFolder();
  FuzzedDataProvider in(data, size);
  const std::string options = in.ConsumeRandomLengthString(2048);
  const std::string settings = in.ConsumeRemainingBytesAsString();

  ResetProgram();
  WriteBytes(kSettingsFileName, settings);
  LoadSettings();
  Require(ContestList.Count <= kListCountLimit && BandList.Count <= kListCountLimit,
          "list counts are cut at their limit");
  Require(SaveSettings(), "corvane.ini is written in a writable folder");
  const std::string saved = ReadBytes(kSettingsFileName);
  const std::string loaded = Describe();
  ResetSettings();
  LoadSettings();
  Require(Describe() == loaded, "saved settings load back the same",
          loaded + "\n--\n" + Describe());
  Require(SaveSettings(), "corvane.ini is written again");
  Require(ReadBytes(kSettingsFileName) == saved,
          "saving loaded settings again gives the same bytes");

  WriteBytes(kOptionsFileName, options);
  LoadOptions();
  const std::string first = DescribeOptions();
  Require(SaveOptionsGroup(kClockGroup) && SaveOptionsGroup(kRigGroup),
          "options.ini is written in a writable folder");
  ResetOptions();
  LoadOptions();
  Require(DescribeOptions() == first, "saved options load back the same",
          first + " became " + DescribeOptions());
  return 0;
}
