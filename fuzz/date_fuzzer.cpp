// The date values and the pattern renderer on any input: parts that make a
// date agree with the calendar of the C++ library and come back from the
// value, both through the part functions and through a rendered pattern read
// back number by number (as the date and time dialog reads its lists); any
// pattern renders without harm, and text without a '%' renders as itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/date.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"

namespace {

// The seconds since 1970 of the parts by the C++ calendar, or -1 when they
// name no moment in 1970..2038 that fits the signed 32-bit value.
int64_t CalendarValue(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second) {
  using namespace std::chrono;
  if (year < 1970 || year > 2038 || month < 1 || month > 12 || day < 1 || day > 31) return -1;
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 59) {
    return -1;
  }
  const int64_t value = int64_t{sys_days(date).time_since_epoch().count()} * 86400 +
                        int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
  return value <= INT32_MAX ? value : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t year =
      in.ConsumeBool() ? in.ConsumeIntegralInRange(1960, 2045) : in.ConsumeIntegral<int32_t>();
  const int32_t month = in.ConsumeIntegralInRange(-1, 14);
  const int32_t day = in.ConsumeIntegralInRange(-1, 33);
  const int32_t hour = in.ConsumeIntegralInRange(-1, 25);
  const int32_t minute = in.ConsumeIntegralInRange(-1, 61);
  const int32_t second = in.ConsumeIntegralInRange(-1, 61);
  const DateValue value = DateFromParts(year, month, day, hour, minute, second);
  const int64_t calendar = CalendarValue(year, month, day, hour, minute, second);
  Require(int64_t{value} == calendar || (value == InvalidDate && calendar < 0),
          "DateFromParts agrees with the calendar",
          std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day) + " " +
              std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second) +
              " gave " + std::to_string(value) + ", calendar " + std::to_string(calendar));
  if (value != InvalidDate) {
    Require(YearOf(value) == year && MonthOf(value) == month && DayOf(value) == day &&
                HourOf(value) == hour && MinuteOf(value) == minute && SecondOf(value) == second,
            "the parts come back from the value");
    const std::string text = RenderDatePattern("%YYYY|%mm|%Dd|%hh|%iI|%ss", value);
    int32_t parts[6] = {};
    std::size_t start = 0;
    for (int32_t& part : parts) {
      const std::size_t end = text.find('|', start);
      part = ParseDecimal(text.substr(start, end - start));
      start = end + 1;
    }
    Require(DateFromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]) == value,
            "a rendered date reads back to its value", text);
  }

  // Any value with any pattern.
  const DateValue any = in.ConsumeIntegral<int32_t>();
  const std::string pattern = in.ConsumeRemainingBytesAsString();
  const std::string rendered = RenderDatePattern(pattern, any);
  if (pattern.find('%') == std::string::npos) {
    Require(rendered == pattern, "a pattern without '%' renders as itself");
  }
  const DateValue clamped = any < 0 ? 0 : any;
  Require(RenderDatePattern("%yyyy-%mm-%dd", clamped).size() == 10 &&
              RenderDatePattern("%hh:%ii:%ss", clamped).size() == 8,
          "every date of the range renders its fields at their width");
  return 0;
}
