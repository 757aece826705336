#pragma once
// Calendar time of a record or a plot point.

#include <string>

struct RecordTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  double second = 0.0;  // with fraction
};

/// Offsets beyond this many seconds (about 500 years) are refused by AddSeconds.
constexpr double kMaxAddSeconds = 500.0 * 366 * 86400;

/// Adds s seconds (negative ones borrow) with carry across minutes, hours,
/// days, months and years, in constant time. February has 29 days in years
/// divisible by 4. A non-finite or absurd offset (beyond kMaxAddSeconds) is
/// refused: false, and t is left as it was.
bool AddSeconds(RecordTime& t, double s);

/// The time with its seconds rounded to the given decimals, carrying into
/// the minute, hour and date: 59.9996 s at three decimals is the next minute.
RecordTime RoundedTime(RecordTime t, int decimals);

/// "%02d/%02d/%d": month, day, four-digit year, of the time rounded to a millisecond.
std::string FormatDate(const RecordTime& t);
/// "%02d:%02d:%06.3f": hour, minute, seconds, rounded to a millisecond with carry.
std::string FormatTime(const RecordTime& t);

/// Seconds from a to b (b − a), for differences of a few years at most.
double SecondsBetween(const RecordTime& a, const RecordTime& b);
