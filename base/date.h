// Date values: signed 32-bit seconds of a wall clock since 1970-01-01
// 00:00:00, no time zones in the arithmetic; -1 marks an invalid date. The
// clock reads the local wall clock, or UTC when the operator chose it; it is
// read through a replaceable source so tests can fix it, and an operator-set
// offset (from the date and time dialog) is added on top.
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

// The program's clock now: the local wall clock, or UTC while ClockIsUtc(),
// plus the operator's offset; milliseconds dropped.
DateValue CurrentDateValue();
// The same clock read as local time (utc false) or UTC, whatever is chosen.
DateValue ReadClock(bool utc);

// Every reading of the clock in UTC (true) or in local time (false, at start).
void SetClockUtc(bool utc);
bool ClockIsUtc();

// The clock source answers the wall clock now, as UTC or as local time. By
// default it is the system's clock (gmtime_r, localtime_r).
using ClockSource = std::function<DateValue(bool utc)>;
void SetClockSource(ClockSource source);  // an empty source restores the system clock
// For tests: the local clock stands at `local` in a zone `zoneSeconds` ahead
// of UTC, so UTC reads local - zoneSeconds (never below 0).
void SetFixedClock(DateValue local, int32_t zoneSeconds = 0);
DateValue SystemDateValue(bool utc = false);  // the system's clock, no offset

// Seconds added to every reading of the clock for the rest of the run.
void SetClockOffset(int64_t seconds);
int64_t ClockOffset();
