#pragma once

#include <string>

#include "app/LocaleNames.h"
#include "formats/DateTime.h"

namespace mindrel {

// Formats the date drawn under each alert icon. Codes, in either case:
// "d" day, "dd" two-digit day, "ddd" short and "dddd" long day name, "m"
// month, "mm" two-digit month, "mmm" short and "mmmm" long month name,
// "yy" two-digit and "yyyy" four-digit year (one or two y give "yy", three
// or more "yyyy"). Text in double or single quotes is copied without its
// quotes; every other character is copied as it stands. Longer runs of d or m
// split into a four-letter code and the rest ("ddddd" = "dddd" + "d").
class TDateFormatter {
 public:
  // `names` must outlive the formatter.
  explicit TDateFormatter(const TLocaleNames& names) : names_(names) {}

  std::string FormatDateTime(const std::string& format, TDateTime value) const;

 private:
  const TLocaleNames& names_;
};

}  // namespace mindrel
