#pragma once

#include <string>
#include <vector>

#include "formats/OPObj.h"
#include "formats/EventFormats.h"
#include "platform/Clock.h"

namespace mindrel {

// Turns alert entries into sentences through the event formats. Day counts
// ("<dd>", "<when>") are taken from the clock at every call, so a sentence
// follows the date without a new scan.
class TEntryFormatter {
 public:
  // Both must outlive the formatter.
  TEntryFormatter(const TEventFormats& formats, const Clock& clock) : formats_(formats), clock_(clock) {}

  // The entry's sentence: single blanks only, none at either end, first
  // character upper-cased, at most 256 characters. Sample mode (the editor's
  // sample line) takes the format row numbered by the entry's event index;
  // otherwise the fixed event types take their row and a custom one (index 6
  // and on) the row named like item EventIndex of `eventItems` (the main
  // window's event list). A variant stands in for the row where the entry's
  // case calls for one (TVariantChoice), the closest one not left empty; the
  // "Other date" variant where no row fits or the row's template is empty. A
  // missed entry is told in the past wording of its case.
  std::string FormatEntry(const TOPObj& entry, bool sample, const std::vector<std::string>& eventItems) const;
  // The sentence as a calendar keeps it: without its "<when>" part, which
  // would be stale as soon as the day of the export has passed.
  std::string FormatCalendarEntry(const TOPObj& entry, const std::vector<std::string>& eventItems) const;
  // The sentence with format row `row` (-1: none), as the editor shows a row
  // or a variant of it for a sample entry.
  std::string FormatWithRow(const TOPObj& entry, int row) const;

  // Expands the tags of `text` for the entry ("<event>" is its EventName,
  // "<relation>" its Relation, "<hebrew>" the Hebrew date of a Hebrew
  // anniversary, "<weekday>" the English name of its day, "<ago>" the days
  // since its day; an empty relation takes the commas or brackets around the
  // tag with it).
  // `lastNumber` is the number the last "<dd>", "<mm>", "<yy>" or "<ago>"
  // produced, which "<th>" reads; it carries over from call to call within
  // one sentence.
  std::string ExpandTemplate(const std::string& text, const TOPObj& entry, int& lastNumber) const;

  // The template a sentence of the entry is made from, given its row.
  const std::string& TemplateFor(const TOPObj& entry, int row) const;

 private:
  // How far an expansion has got: "<when>" is expanded once, never inside
  // itself, and not at all for a calendar.
  struct TExpansion {
    int& lastNumber;
    bool withWhen;
    bool insideWhen;
  };

  std::string Sentence(const TOPObj& entry, int row, bool withWhen) const;
  int FindRow(const TOPObj& entry, bool sample, const std::vector<std::string>& eventItems) const;
  // The entry's event name where the scan gave none: its item's text, else its row's name.
  std::string EventNameOf(const TOPObj& entry, int row, const std::vector<std::string>& eventItems) const;
  static bool ToldInThePast(const TOPObj& entry);
  static int PastFor(const TOPObj& entry);
  static int PastWhenRow(int daysAgo);
  std::string Expand(const std::string& text, const TOPObj& entry, TExpansion& expansion) const;
  std::string ExpandTag(const std::string& tag, const TOPObj& entry, TExpansion& expansion) const;
  // The "when" text of the entry: of a day gone by for what was missed, else
  // of its day, or of its month or year when that is all its date tells;
  // null for a day already past.
  const std::string* WhenTextFor(const TOPObj& entry) const;
  // The "when" row of the entry's day, month or year; -1 for one past.
  int WhenRow(const TOPObj& entry) const;
  int DaysFromToday(const TOPObj& entry) const;
  static void DropEnclosingPunctuation(std::string& output, std::string& rest);
  // From this month to the entry's month.
  int MonthsFromToday(const TOPObj& entry) const;
  std::string OrdinalSuffix(int number) const;

  const TEventFormats& formats_;
  const Clock& clock_;
};

}  // namespace mindrel
