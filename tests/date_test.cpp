// Date values, their fields, the pattern renderer and the clock.
#include "base/date.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <climits>
#include <string>

namespace {

TEST(DateTest, DateFromParts) {
  const struct {
    const char* name;
    int32_t year, month, day, hour, minute, second;
    DateValue want;
  } kCases[] = {
      {"epoch", 1970, 1, 1, 0, 0, 0, 0},
      {"one hour after the epoch", 1970, 1, 1, 1, 0, 0, 3600},
      {"last second", 2038, 1, 19, 3, 14, 7, 2147483647},
      {"one second too late", 2038, 1, 19, 3, 14, 8, InvalidDate},
      {"later in 2038", 2038, 6, 1, 0, 0, 0, InvalidDate},
      {"last second of 1969", 1969, 12, 31, 23, 59, 59, InvalidDate},
      {"early 1969", 1969, 1, 1, 0, 0, 0, InvalidDate},
      {"29 Feb 2000", 2000, 2, 29, 0, 0, 0, 951782400},
      {"29 Feb 2012", 2012, 2, 29, 12, 0, 0, 1330516800},
      {"29 Feb 2010", 2010, 2, 29, 0, 0, 0, InvalidDate},
      {"29 Feb 2100", 2100, 2, 29, 0, 0, 0, InvalidDate},
      {"30 Feb 2000", 2000, 2, 30, 0, 0, 0, InvalidDate},
      {"1 Mar 2000", 2000, 3, 1, 0, 0, 0, 951868800},
      {"31 Apr", 2010, 4, 31, 0, 0, 0, InvalidDate},
      {"31 Jun", 2010, 6, 31, 0, 0, 0, InvalidDate},
      {"31 Sep", 2010, 9, 31, 0, 0, 0, InvalidDate},
      {"31 Nov", 2010, 11, 31, 0, 0, 0, InvalidDate},
      {"31 Dec 1999 23:59:59", 1999, 12, 31, 23, 59, 59, 946684799},
      {"test clock", 2010, 3, 7, 9, 5, 2, 1267952702},
      {"hour 24", 2010, 3, 7, 24, 0, 0, InvalidDate},
      {"minute 60", 2010, 3, 7, 9, 60, 0, InvalidDate},
      {"second 60", 2010, 3, 7, 9, 5, 60, InvalidDate},
      {"negative second", 2010, 3, 7, 9, 5, -1, InvalidDate},
      {"day 0", 2010, 3, 0, 9, 5, 2, InvalidDate},
      {"day 32", 2010, 3, 32, 9, 5, 2, InvalidDate},
      {"month 0", 2010, 0, 7, 9, 5, 2, InvalidDate},
      {"month 13", 2010, 13, 7, 9, 5, 2, InvalidDate},
      {"year 0", 0, 3, 7, 9, 5, 2, InvalidDate},
      {"huge year", INT_MAX, 12, 31, 23, 59, 59, InvalidDate},
      {"all extremes", INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, InvalidDate},
      {"all maxima", INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, InvalidDate},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second), c.want);
  }
}

TEST(DateTest, DateFromPartsIgnoresTheTimeZone) {
  const char* old = getenv("TZ");
  const std::string saved = old ? old : "";
  for (const char* zone : {"UTC0", "<+10>-10", "<-05>5"}) {
    SCOPED_TRACE(zone);
    setenv("TZ", zone, 1);
    tzset();
    EXPECT_EQ(DateFromParts(1970, 1, 1, 1, 0, 0), 3600);
  }
  old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
}

TEST(DateTest, FieldsAreTheInverse) {
  // Every 3 days and 7 hours and some seconds across the whole range, plus the ends.
  for (int64_t v = 0; v <= 2147483647; v += 3 * 86400 + 7 * 3600 + 13) {
    const auto value = static_cast<DateValue>(v);
    const DateValue back = DateFromParts(YearOf(value), MonthOf(value), DayOf(value), HourOf(value),
                                         MinuteOf(value), SecondOf(value));
    ASSERT_EQ(back, value) << "value " << v;
  }
  const DateValue last = 2147483647;
  EXPECT_EQ(YearOf(last), 2038);
  EXPECT_EQ(MonthOf(last), 1);
  EXPECT_EQ(DayOf(last), 19);
  EXPECT_EQ(HourOf(last), 3);
  EXPECT_EQ(MinuteOf(last), 14);
  EXPECT_EQ(SecondOf(last), 7);
  EXPECT_EQ(DayOf(951782400), 29);  // 29 Feb 2000
  EXPECT_EQ(MonthOf(951782400), 2);
}

TEST(DateTest, NegativeValuesHaveZeroFields) {
  for (DateValue v : {InvalidDate, -86400, -2147483647 - 1}) {
    SCOPED_TRACE(v);
    EXPECT_EQ(YearOf(v), 0);
    EXPECT_EQ(MonthOf(v), 0);
    EXPECT_EQ(DayOf(v), 0);
    EXPECT_EQ(HourOf(v), 0);
    EXPECT_EQ(MinuteOf(v), 0);
    EXPECT_EQ(SecondOf(v), 0);
  }
}

TEST(DateTest, RenderDatePattern) {
  const DateValue march = 1267952702;  // 2010-03-07 09:05:02
  const struct {
    const char* pattern;
    DateValue value;
    std::string want;
  } kCases[] = {
      {"%yyyy-%mm-%dd", march, "2010-03-07"},
      {"%hh:%ii:%ss", march, "09:05:02"},
      {"%hh:%ii", march, "09:05"},
      {"%yy", march, "10"},
      {"%YYYY/%Mm", march, "2010/03"},
      {"%yyy", march, "10y"},
      {"%yyyyy", march, "2010y"},
      {"%y", march, "%y"},
      {"%", march, "%"},
      {"at the end %", march, "at the end %"},
      {"%x%dd", march, "%x07"},
      {"%%dd", march, "%07"},
      {"", march, ""},
      {"no tokens", march, "no tokens"},
      {"\xC4\xE0\xF2\xE0 %dd.%mm", march, "\xC4\xE0\xF2\xE0 07.03"},
      {"%yyyy %yy %mm %dd %hh %ii %ss", InvalidDate, "0000 00 00 00 00 00 00"},
      {"%yy", 946684799, "99"},
      {"%yy%mm", 951782400, "0002"},
      {"%hh:%ii:%ss", 2147483647, "03:14:07"},
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
  }
};

TEST_F(ClockTest, OffsetIsAddedToEveryReading) {
  const DateValue march = 1267952702;
  const struct {
    const char* name;
    DateValue clock;
    int64_t offset;
    DateValue want;
  } kCases[] = {
      {"no offset", march, 0, march},
      {"one hour on", march, 3600, march + 3600},
      {"a day back", march, -86400, march - 86400},
      {"onto the last second", 2147483600, 47, 2147483647},
      {"past the last second", 2147483600, 48, InvalidDate},
      {"before 1970", 100, -101, InvalidDate},
      {"huge offset", march, INT64_MAX, InvalidDate},
      {"huge negative offset", march, INT64_MIN, InvalidDate},
      {"invalid clock stays invalid", InvalidDate, 10, InvalidDate},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetFixedClock(c.clock);
    SetClockOffset(c.offset);
    EXPECT_EQ(CurrentDateValue(), c.want);
    EXPECT_EQ(ClockOffset(), c.offset);
  }
}

TEST_F(ClockTest, SourceIsReplaceable) {
  int calls = 0;
  SetClockSource([&calls] {
    ++calls;
    return DateFromParts(2010, 3, 7, 23, 59, 59);
  });
  EXPECT_EQ(SecondOf(CurrentDateValue()), 59);
  EXPECT_EQ(DayOf(CurrentDateValue()), 7);
  EXPECT_EQ(calls, 2);
}

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
    SetClockSource({});
    const int64_t before = time(nullptr);
    const DateValue now = CurrentDateValue();
    const int64_t after = time(nullptr);
    EXPECT_GE(now, before + c.east);
    EXPECT_LE(now, after + c.east);
  }
  old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
}

}  // namespace
