#include "datafile/record_time.h"

#include <cmath>
#include <cstdio>

namespace {

int MonthLength(int month, long long year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  if (month == 2 && year % 4 == 0) return 29;
  return kDays[month - 1];
}

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

constexpr long long kDaysPerCycle = 4 * 365 + 1;  // four years, the first a leap year

// Days from 1 January of year 0 to the given date, with a leap year every
// fourth year; days beyond the month's length carry forward, days below 1 back.
long long DayNumber(long long year, int month, long long day) {
  const long long cycles = FloorDiv(year, 4);
  const long long r = year - 4 * cycles;
  long long days = cycles * kDaysPerCycle + (r > 0 ? 366 + (r - 1) * 365 : 0);
  for (int m = 1; m < month && m <= 12; ++m) days += MonthLength(m, year);
  return days + day - 1;
}

void FromDayNumber(long long n, RecordTime& t) {
  const long long cycles = FloorDiv(n, kDaysPerCycle);
  long long rem = n - cycles * kDaysPerCycle;
  long long r = rem < 366 ? 0 : 1 + (rem - 366) / 365;
  rem -= r > 0 ? 366 + (r - 1) * 365 : 0;
  const long long year = cycles * 4 + r;
  int month = 1;
  while (month < 12 && rem >= MonthLength(month, year)) rem -= MonthLength(month++, year);
  t.year = static_cast<int>(year);
  t.month = month;
  t.day = static_cast<int>(rem) + 1;
}

}  // namespace

bool AddSeconds(RecordTime& t, double s) {
  if (!std::isfinite(s) || std::fabs(s) > kMaxAddSeconds || !std::isfinite(t.second) ||
      std::fabs(t.second) > kMaxAddSeconds)
    return false;
  if (t.month < 1 || t.month > 12) t.month = 1;  // a header whose month is out of range
  // Everything in seconds from the start of the day, then whole days in one step:
  // the cost is the same for any offset.
  double total = static_cast<double>(t.hour) * 3600.0 + static_cast<double>(t.minute) * 60.0 + t.second + s;
  double days = std::floor(total / 86400.0);
  double within = total - days * 86400.0;
  if (within >= 86400.0) {  // rounding at the boundary
    within -= 86400.0;
    days += 1;
  }
  if (within < 0.0) within = 0.0;
  const long long n = DayNumber(t.year, t.month, t.day) + static_cast<long long>(days);
  const int hour = static_cast<int>(within / 3600.0);
  within -= hour * 3600.0;
  int minute = static_cast<int>(within / 60.0);
  within -= minute * 60.0;
  if (minute > 59) minute = 59;
  if (within < 0.0) within = 0.0;
  FromDayNumber(n, t);
  t.hour = hour > 23 ? 23 : hour;
  t.minute = minute;
  t.second = within;
  return true;
}

RecordTime RoundedTime(RecordTime t, int decimals) {
  if (!std::isfinite(t.second)) return t;
  const double q = std::pow(10.0, decimals);
  t.second = std::round(t.second * q) / q;
  AddSeconds(t, 0.0);  // carries 60 s into the minute
  return t;
}

std::string FormatDate(const RecordTime& t) {
  const RecordTime r = RoundedTime(t, 3);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%d", r.month, r.day, r.year);
  return buf;
}

std::string FormatTime(const RecordTime& t) {
  const RecordTime r = RoundedTime(t, 3);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%06.3f", r.hour, r.minute, r.second);
  return buf;
}

double SecondsBetween(const RecordTime& a, const RecordTime& b) {
  auto total = [](const RecordTime& t) {
    return static_cast<double>(DayNumber(t.year, t.month, t.day)) * 86400.0 + t.hour * 3600.0 + t.minute * 60.0 +
           t.second;
  };
  return total(b) - total(a);
}
