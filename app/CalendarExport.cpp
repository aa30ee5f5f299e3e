#include "app/CalendarExport.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "engine/core/Md5.h"
#include "formats/DateTime.h"

namespace mindrel {

namespace {

constexpr std::size_t kMaxLineOctets = 75;

std::string DateValue(TDateTime value) {
  const CivilDate day = DecodeDate(value);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
  return text;
}

std::string UtcStamp(std::chrono::system_clock::time_point moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ContinuesUtf8Character(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string TCalendarExport::EscapeText(const std::string& text) {
  std::string escaped;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' || c == ';' || c == ',') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      escaped += "\\n";
    } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7F') {
      // Other control characters are not allowed in a TEXT value.
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string TCalendarExport::ContentLine(const std::string& line) {
  std::string folded;
  std::size_t start = 0;
  std::size_t room = kMaxLineOctets;
  while (line.size() - start > room) {
    std::size_t end = start + room;
    while (end > start && ContinuesUtf8Character(line[end])) --end;
    if (end == start) end = start + room;  // no character start to fold at: not UTF-8
    folded += line.substr(start, end - start) + "\r\n ";
    start = end;
    room = kMaxLineOctets - 1;  // the leading blank of a continuation counts
  }
  return folded + line.substr(start) + "\r\n";
}

std::string TCalendarExport::Uid(const TOPObj& entry, const std::string& eventName) {
  std::string identity = entry.DBFolder + '\n' + entry.Kind + '\n' + std::to_string(entry.Code) + '\n' +
                         Lower(eventName) + '\n' + std::to_string(DecodeDate(entry.Date).year);
  if (entry.DBFolder.empty()) identity += '\n' + entry.Name + '\n' + DateValue(entry.Date);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string uid;
  for (const std::uint8_t byte : keel::Md5(identity)) {
    uid += kHex[byte >> 4];
    uid += kHex[byte & 0xF];
  }
  return uid + "@mindrel";
}

std::string TCalendarExport::Document(const TAlertList& alerts, const TEntryFormatter& formatter,
                                      const std::vector<std::string>& eventItems,
                                      std::chrono::system_clock::time_point stamp) {
  const std::string stampValue = UtcStamp(stamp);
  std::string document = ContentLine("BEGIN:VCALENDAR") + ContentLine("VERSION:2.0") +
                         ContentLine("PRODID:-//Mindrel//Mindrel alerts//EN") +
                         ContentLine("CALSCALE:GREGORIAN") + ContentLine("METHOD:PUBLISH");
  for (int i = 0; i < alerts.Count(); ++i) {
    const TOPObj& entry = alerts.Entry(i);
    const std::string eventName =
        entry.EventIndex < eventItems.size() ? eventItems[entry.EventIndex] : std::string();
    document += ContentLine("BEGIN:VEVENT") + ContentLine("UID:" + Uid(entry, eventName)) +
                ContentLine("DTSTAMP:" + stampValue) +
                ContentLine("DTSTART;VALUE=DATE:" + DateValue(entry.Date)) +
                ContentLine("DTEND;VALUE=DATE:" + DateValue(entry.Date + 1)) +
                ContentLine("SUMMARY:" + EscapeText(formatter.FormatCalendarEntry(entry, eventItems))) +
                ContentLine("TRANSP:TRANSPARENT") + ContentLine("END:VEVENT");
  }
  return document + ContentLine("END:VCALENDAR");
}

}  // namespace mindrel
