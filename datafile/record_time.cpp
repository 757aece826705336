#include "datafile/record_time.h"

#include <cmath>
#include <cstdio>

namespace {

int MonthLength(int month, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  if (month == 2 && year % 4 == 0) return 29;
  return kDays[month - 1];
}

// Days since an arbitrary epoch with the same leap rule as AddSeconds.
long long DayNumber(const RecordTime& t) {
  long long days = 0;
  // Whole years from year 0 counted with the divisible-by-4 rule.
  long long y = t.year;
  days += y * 365 + (y + 3) / 4;
  for (int m = 1; m < t.month && m <= 12; ++m) days += MonthLength(m, t.year);
  days += t.day;
  return days;
}

}  // namespace

void AddSeconds(RecordTime& t, double s) {
  if (!std::isfinite(s)) {
    t.second = s;
    return;
  }
  t.second += s;
  // Carry whole minutes out of the seconds in one step; huge offsets stay cheap.
  double minutes = std::floor(t.second / 60.0);
  t.second -= minutes * 60.0;
  if (t.second >= 60.0) {  // rounding at the boundary
    t.second -= 60.0;
    minutes += 1;
  }
  if (t.second < 0.0) t.second = 0.0;
  long long m = static_cast<long long>(t.minute) + static_cast<long long>(minutes);
  long long hours = m >= 0 ? m / 60 : -((-m + 59) / 60);
  t.minute = static_cast<int>(m - hours * 60);
  long long h = t.hour + hours;
  long long days = h >= 0 ? h / 24 : -((-h + 23) / 24);
  t.hour = static_cast<int>(h - days * 24);
  long long d = t.day + days;
  // February's length follows the year the carry is in (a year divisible by 4).
  auto febLength = [](int month, int year) { return MonthLength(month, year); };
  // Guard against headers whose month is out of range.
  if (t.month < 1 || t.month > 12) t.month = 1;
  while (d > febLength(t.month, t.year)) {
    d -= febLength(t.month, t.year);
    if (++t.month > 12) {
      t.month = 1;
      ++t.year;
    }
  }
  while (d < 1) {
    if (--t.month < 1) {
      t.month = 12;
      --t.year;
    }
    d += febLength(t.month, t.year);
  }
  t.day = static_cast<int>(d);
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
    return static_cast<double>(DayNumber(t)) * 86400.0 + t.hour * 3600.0 + t.minute * 60.0 + t.second;
  };
  return total(b) - total(a);
}
