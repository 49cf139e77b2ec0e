// Date values: signed 32-bit seconds of the local wall clock since
// 1970-01-01 00:00:00, no time zones anywhere; -1 marks an invalid date.
// The clock is read through a replaceable source so tests can fix it, and an
// operator-set offset (from the date and time dialog) is added on top.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

using DateValue = int32_t;
inline constexpr DateValue InvalidDate = -1;

DateValue DateFromParts(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        int32_t second);
int32_t YearOf(DateValue value);
int32_t MonthOf(DateValue value);
int32_t DayOf(DateValue value);
int32_t HourOf(DateValue value);
int32_t MinuteOf(DateValue value);
int32_t SecondOf(DateValue value);
std::string RenderDatePattern(std::string_view pattern, DateValue value);

// The local wall clock now (plus the operator's offset), milliseconds dropped.
DateValue CurrentDateValue();

// The clock source: by default the system's local clock (localtime_r).
using ClockSource = std::function<DateValue()>;
void SetClockSource(ClockSource source);  // an empty source restores the system clock
void SetFixedClock(DateValue value);      // for tests: the clock stands at `value`
DateValue SystemDateValue();              // the system's local clock, no offset

// Seconds added to every reading of the clock for the rest of the run.
void SetClockOffset(int64_t seconds);
int64_t ClockOffset();
