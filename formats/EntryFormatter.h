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
  // year is unknown, a birthday is a dead person's, a count is one or an
  // added fixed event is on its own day; the "Other date" variant where no
  // row fits or the row's template is empty. A missed entry is told in the
  // past wording of its case.
  std::string FormatEntry(const TOPObj& entry, bool sample, const std::vector<std::string>& eventItems) const;

  // Expands the tags of `text` for the entry ("<event>" is its EventName,
  // "<hebrew>" the Hebrew date of a Hebrew anniversary, "<weekday>" the
  // English name of its day, "<ago>" the days since its day).
  // `lastNumber` is the number the last "<dd>" or "<yy>" produced, which
  // "<th>" reads; it carries over from call to call within one sentence.
  std::string ExpandTemplate(const std::string& text, const TOPObj& entry, int& lastNumber) const;

 private:
  int FindRow(const TOPObj& entry, bool sample, const std::vector<std::string>& eventItems) const;
  // The entry's event name where the scan gave none: its item's text, else its row's name.
  std::string EventNameOf(const TOPObj& entry, int row, const std::vector<std::string>& eventItems) const;
  const std::string& TemplateFor(const TOPObj& entry, int row) const;
  // The variant the entry needs instead of its row; -1 for none.
  static int VariantFor(const TOPObj& entry);
  static int PastFor(const TOPObj& entry);
  static int PastWhenRow(int daysAgo);
  std::string Expand(const std::string& text, const TOPObj& entry, int& lastNumber, bool insideWhen) const;
  std::string ExpandTag(const std::string& tag, const TOPObj& entry, int& lastNumber, bool insideWhen) const;
  int DaysFromToday(const TOPObj& entry) const;
  std::string OrdinalSuffix(int number) const;

  const TEventFormats& formats_;
  const Clock& clock_;
};

}  // namespace mindrel
