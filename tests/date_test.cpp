// Date values, their fields, the pattern renderer and the clock.
#include "base/date.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <climits>
#include <string>

namespace {

constexpr DateValue kMarch = 1267952702;  // 2010-03-07 09:05:02
constexpr DateValue kLast = 2147483647;   // 2038-01-19 03:14:07

TEST(DateTest, DateFromParts) {
  const struct {
    int32_t year, month, day, hour, minute, second;
    DateValue want;
  } kCases[] = {
      {1970, 1, 1, 0, 0, 0, 0},
      {1970, 1, 1, 1, 0, 0, 3600},
      {2038, 1, 19, 3, 14, 7, kLast},
      {2038, 1, 19, 3, 14, 8, InvalidDate},
      {1969, 12, 31, 23, 59, 59, InvalidDate},
      {2000, 2, 29, 0, 0, 0, 951782400},
      {2012, 2, 29, 12, 0, 0, 1330516800},
      {2010, 2, 29, 0, 0, 0, InvalidDate},
      {2100, 2, 29, 0, 0, 0, InvalidDate},
      {2000, 2, 30, 0, 0, 0, InvalidDate},
      {2010, 4, 31, 0, 0, 0, InvalidDate},
      {2010, 6, 31, 0, 0, 0, InvalidDate},
      {2010, 9, 31, 0, 0, 0, InvalidDate},
      {2010, 11, 31, 0, 0, 0, InvalidDate},
      {1999, 12, 31, 23, 59, 59, 946684799},
      {2010, 3, 7, 24, 0, 0, InvalidDate},
      {2010, 3, 7, 9, 60, 0, InvalidDate},
      {2010, 3, 7, 9, 5, 60, InvalidDate},
      {2010, 3, 7, 9, 5, -1, InvalidDate},
      {2010, 3, 0, 9, 5, 2, InvalidDate},
      {2010, 3, 32, 9, 5, 2, InvalidDate},
      {2010, 0, 7, 9, 5, 2, InvalidDate},
      {2010, 13, 7, 9, 5, 2, InvalidDate},
      {0, 3, 7, 9, 5, 2, InvalidDate},
      {INT_MAX, 12, 31, 23, 59, 59, InvalidDate},
      {INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, InvalidDate},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - kCases);
    EXPECT_EQ(DateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second), c.want);
  }
}

TEST(DateTest, FieldsAreTheInverse) {
  // Every 3 days, 7 hours and 13 seconds across the whole range.
  for (int64_t v = 0; v <= kLast; v += 3 * 86400 + 7 * 3600 + 13) {
    const auto value = static_cast<DateValue>(v);
    ASSERT_EQ(DateFromParts(YearOf(value), MonthOf(value), DayOf(value), HourOf(value),
                            MinuteOf(value), SecondOf(value)),
              value);
  }
}

TEST(DateTest, RenderDatePattern) {
  const struct {
    const char* pattern;
    DateValue value;
    std::string want;
  } kCases[] = {
      {"%yyyy-%mm-%dd", kMarch, "2010-03-07"},
      {"%hh:%ii:%ss", kMarch, "09:05:02"},
      {"%yy", kMarch, "10"},
      {"%YYYY/%Mm", kMarch, "2010/03"},
      {"%yyy", kMarch, "10y"},
      {"at the end %", kMarch, "at the end %"},
      {"%x%dd", kMarch, "%x07"},
      {"%%dd", kMarch, "%07"},
      {"\xC4\xE0\xF2\xE0 %dd.%mm", kMarch, "\xC4\xE0\xF2\xE0 07.03"},
      {"%yyyy-%mm-%dd %hh:%ii:%ss", kLast, "2038-01-19 03:14:07"},
      {"%yyyy-%mm-%dd", 951782400, "2000-02-29"},
      {"%yyyy %yy %mm %dd %hh %ii %ss", InvalidDate, "0000 00 00 00 00 00 00"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(RenderDatePattern(c.pattern, c.value), c.want);
  }
}

class ClockTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetClockOffset(0);
    SetClockSource({});
    SetClockUtc(false);
  }
};

// A fixed local clock in a zone east or west of Greenwich read both ways, on
// both sides of a change of date, with the operator's offset on top.
TEST_F(ClockTest, UtcIsTheLocalClockLessTheZone) {
  const struct {
    const char* name;
    DateValue local;
    int32_t zone;
    int64_t offset;
    const char *localText, *utcText;
  } kCases[] = {
      {"east, past midnight", DateFromParts(2010, 3, 8, 1, 30, 0), 3 * 3600, 0,
       "2010-03-08 01:30:00", "2010-03-07 22:30:00"},
      {"west, before midnight", DateFromParts(2010, 3, 7, 21, 0, 0), -5 * 3600, 0,
       "2010-03-07 21:00:00", "2010-03-08 02:00:00"},
      {"half-hour zone, a year's end", DateFromParts(2011, 1, 1, 4, 59, 59), 19800, 0,
       "2011-01-01 04:59:59", "2010-12-31 23:29:59"},
      {"with an offset", DateFromParts(2010, 3, 8, 1, 30, 0), 3 * 3600, -3600,
       "2010-03-08 00:30:00", "2010-03-07 21:30:00"},
      {"no zone", kMarch, 0, 0, "2010-03-07 09:05:02", "2010-03-07 09:05:02"},
      {"UTC before 1970 reads no date", 3600, 7200, 0, "1970-01-01 01:00:00",
       "0000-00-00 00:00:00"},
  };
  constexpr const char* kPattern = "%yyyy-%mm-%dd %hh:%ii:%ss";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetFixedClock(c.local, c.zone);
    SetClockOffset(c.offset);
    for (const bool utc : {false, true}) {
      SetClockUtc(utc);
      EXPECT_EQ(ClockIsUtc(), utc);
      EXPECT_EQ(RenderDatePattern(kPattern, CurrentDateValue()), utc ? c.utcText : c.localText);
      EXPECT_EQ(CurrentDateValue(), ReadClock(utc));
      EXPECT_EQ(RenderDatePattern(kPattern, ReadClock(!utc)), utc ? c.localText : c.utcText);
    }
  }
}

TEST_F(ClockTest, OffsetIsAddedToEveryReading) {
  const struct {
    DateValue clock;
    int64_t offset;
    DateValue want;
  } kCases[] = {
      {kMarch, 0, kMarch},
      {2147483600, 47, kLast},
      {2147483600, 48, InvalidDate},
      {100, -101, InvalidDate},
      {kMarch, INT64_MAX, InvalidDate},
      {kMarch, INT64_MIN, InvalidDate},
      {InvalidDate, 10, InvalidDate},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.clock << " + " << c.offset);
    SetFixedClock(c.clock);
    SetClockOffset(c.offset);
    EXPECT_EQ(CurrentDateValue(), c.want);
  }
}

// The local wall clock of any zone, and UTC; DateFromParts itself knows no zone.
// (POSIX zone strings in TZ: Windows reads its zone from the system's settings.)
#ifndef _WIN32
TEST_F(ClockTest, SystemClockIsTheLocalWallClock) {
  const char* old = getenv("TZ");
  const std::string saved = old ? old : "";
  const struct {
    const char* zone;
    int64_t east;  // seconds the zone's wall clock is ahead of UTC
  } kCases[] = {{"UTC0", 0}, {"<+10>-10", 36000}, {"<-0530>5:30", -19800}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.zone);
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(DateFromParts(1970, 1, 1, 1, 0, 0), 3600);
    const int64_t before = time(nullptr);
    const DateValue now = CurrentDateValue();
    SetClockUtc(true);
    const DateValue utc = CurrentDateValue();
    SetClockUtc(false);
    EXPECT_GE(now, before + c.east);
    EXPECT_LE(now, time(nullptr) + c.east);
    EXPECT_GE(utc, before);  // UTC is the same in every zone
    EXPECT_LE(utc, time(nullptr));
  }
  old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
}
#endif

}  // namespace
