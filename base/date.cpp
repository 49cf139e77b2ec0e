#include "base/date.h"

#include <time.h>

#include <utility>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kLastValue = 2147483647;  // 2038-01-19 03:14:07

// The clock the program reads: a replaceable source plus the operator's offset.
struct DateClock {
  ClockSource source;  // empty: the system's clock
  int64_t offset = 0;
  bool utc = false;  // readings in UTC instead of local time
};
DateClock Clock;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar
// (the year counted in eras of 400 years, each 146 097 days long).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;  // March is 0
  const int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
};

// The inverse of DaysFromCivil for a day count of 0 or more.
CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day)};
}

CivilDate DateOf(DateValue value) {
  if (value < 0) return {};
  return CivilFromDays(value / kSecondsPerDay);
}

int32_t SecondsOfDay(DateValue value) {
  return value < 0 ? 0 : static_cast<int32_t>(value % kSecondsPerDay);
}

bool InRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

// Appends `number` with leading zeros up to `width` digits (number >= 0).
void AppendDigits(std::string& out, int32_t number, std::size_t width) {
  std::string digits = std::to_string(number);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `token` (lower case) stands at `at` in `pattern`, ignoring letter case.
bool TokenAt(std::string_view pattern, std::size_t at, std::string_view token) {
  if (pattern.size() - at < token.size()) return false;
  for (std::size_t k = 0; k < token.size(); ++k) {
    if (LowerAscii(pattern[at + k]) != token[k]) return false;
  }
  return true;
}

}  // namespace

DateValue DateFromParts(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        int32_t second) {
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return InvalidDate;
  if (month == 2 && day > 29) return InvalidDate;
  if (month == 2 && day == 29 && !IsLeapYear(year)) return InvalidDate;
  if (!InRange(second, 0, 59) || !InRange(minute, 0, 59) || !InRange(hour, 0, 23) ||
      !InRange(day, 1, 31) || !InRange(month, 1, 12) || year <= 0) {
    return InvalidDate;
  }
  if (year < 1970 || year > 2038) return InvalidDate;  // keeps the arithmetic small
  const int64_t value = DaysFromCivil(year, month, day) * kSecondsPerDay + int64_t{hour} * 3600 +
                        int64_t{minute} * 60 + second;
  if (value < 0 || value > kLastValue) return InvalidDate;
  return static_cast<DateValue>(value);
}

int32_t YearOf(DateValue value) { return DateOf(value).year; }
int32_t MonthOf(DateValue value) { return DateOf(value).month; }
int32_t DayOf(DateValue value) { return DateOf(value).day; }
int32_t HourOf(DateValue value) { return SecondsOfDay(value) / 3600; }
int32_t MinuteOf(DateValue value) { return SecondsOfDay(value) / 60 % 60; }
int32_t SecondOf(DateValue value) { return SecondsOfDay(value) % 60; }

std::string RenderDatePattern(std::string_view pattern, DateValue value) {
  std::string out;
  out.reserve(pattern.size() + 8);
  std::size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] != '%') {
      out += pattern[i++];
      continue;
    }
    const std::size_t at = i + 1;
    if (TokenAt(pattern, at, "yyyy")) {
      AppendDigits(out, YearOf(value), 4);
      i = at + 4;
    } else if (TokenAt(pattern, at, "yy")) {
      AppendDigits(out, YearOf(value) % 100, 2);
      i = at + 2;
    } else if (TokenAt(pattern, at, "mm")) {
      AppendDigits(out, MonthOf(value), 2);
      i = at + 2;
    } else if (TokenAt(pattern, at, "dd")) {
      AppendDigits(out, DayOf(value), 2);
      i = at + 2;
    } else if (TokenAt(pattern, at, "hh")) {
      AppendDigits(out, HourOf(value), 2);
      i = at + 2;
    } else if (TokenAt(pattern, at, "ii")) {
      AppendDigits(out, MinuteOf(value), 2);
      i = at + 2;
    } else if (TokenAt(pattern, at, "ss")) {
      AppendDigits(out, SecondOf(value), 2);
      i = at + 2;
    } else {
      out += '%';  // not a token: the percent sign stands for itself
      i = at;
    }
  }
  return out;
}

DateValue SystemDateValue(bool utc) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);  // whole seconds: the fraction is dropped
  const time_t seconds = now.tv_sec;
  tm fields{};
#ifdef _WIN32
  const bool got = (utc ? gmtime_s(&fields, &seconds) : localtime_s(&fields, &seconds)) == 0;
#else
  const bool got = (utc ? gmtime_r(&seconds, &fields) : localtime_r(&seconds, &fields)) != nullptr;
#endif
  if (!got) return InvalidDate;
  return DateFromParts(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                       fields.tm_min, fields.tm_sec > 59 ? 59 : fields.tm_sec);
}

DateValue CurrentDateValue() { return ReadClock(Clock.utc); }

DateValue ReadClock(bool utc) {
  const DateValue reading = Clock.source ? Clock.source(utc) : SystemDateValue(utc);
  if (reading < 0 || Clock.offset < -kLastValue || Clock.offset > kLastValue) return InvalidDate;
  const int64_t shifted = int64_t{reading} + Clock.offset;
  if (shifted < 0 || shifted > kLastValue) return InvalidDate;
  return static_cast<DateValue>(shifted);
}

void SetClockSource(ClockSource source) { Clock.source = std::move(source); }

void SetFixedClock(DateValue local, int32_t zoneSeconds) {
  Clock.source = [local, zoneSeconds](bool utc) -> DateValue {
    if (!utc || local < 0) return local;
    const int64_t reading = int64_t{local} - zoneSeconds;
    return reading < 0 || reading > kLastValue ? InvalidDate : static_cast<DateValue>(reading);
  };
}

void SetClockUtc(bool utc) { Clock.utc = utc; }

bool ClockIsUtc() { return Clock.utc; }

void SetClockOffset(int64_t seconds) { Clock.offset = seconds; }

int64_t ClockOffset() { return Clock.offset; }
