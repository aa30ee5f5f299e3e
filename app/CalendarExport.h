#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/AlertList.h"
#include "formats/OPObj.h"
#include "formats/EntryFormatter.h"

namespace mindrel {

// The alerts as an iCalendar document (RFC 5545): one all-day event per
// alert on its day, the sentence without its "when" as the summary (an
// event's day says when; "in 5 days" would be wrong on every other day), and
// a UID that stays the
// same for the same anniversary in the same year, so that importing a newer
// export replaces the events of an older one instead of adding them again.
class TCalendarExport {
 public:
  // `eventItems` are the texts of the event list (entries name their event
  // type by position in it); `stamp` is the moment of the export.
  static std::string Document(const TAlertList& alerts, const TEntryFormatter& formatter,
                              const std::vector<std::string>& eventItems,
                              std::chrono::system_clock::time_point stamp);

  // Made from the folder, kind, code, event type and year of the alert. The
  // added events share code 0, so theirs also takes the name and the day.
  static std::string Uid(const TOPObj& entry, const std::string& eventName);
  // A TEXT value with backslash, semicolon, comma and line breaks escaped.
  static std::string EscapeText(const std::string& text);
  // One content line folded into lines of at most 75 octets, each ended by
  // CRLF, never splitting a UTF-8 character.
  static std::string ContentLine(const std::string& line);
};

}  // namespace mindrel
