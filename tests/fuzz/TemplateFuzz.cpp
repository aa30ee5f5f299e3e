// Expands arbitrary templates for alert entries of every event type: once
// directly, once as the event format of the entry's type through the whole
// sentence building. Any crash, hang or sanitizer report is a finding; a
// template is text, and no text may break the alert list.
//
// Input: the event index (low three bits; bit 7: the editor's sample mode),
// the completed years (two bytes, little-endian, signed), the days from today
// to the alert day, then the template.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/EntryFormatter.h"

namespace {

using namespace mindrel;

constexpr size_t kHeaderBytes = 4;
// 2026-12-10 as days since 1899-12-30.
constexpr double kToday = 46366;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  static const FixedClock clock(LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  static const std::vector<std::string> eventItems{"Birth", "Marriage", "Divorce", "Death", "Added fixed",
                                                   "Added annual", "Baptism", "Emigration"};
  TOPObj entry;
  entry.Name = "Anna Maria BERG";
  entry.EventIndex = static_cast<uint8_t>(data[0] & 7);
  entry.Years = static_cast<int16_t>(data[1] | (data[2] << 8));
  entry.Date = kToday + data[3];
  entry.Kind = entry.EventIndex >= 4 && entry.EventIndex <= 5 ? (entry.EventIndex == 4 ? "AF" : "AA") : "P";
  const bool sample = (data[0] & 0x80) != 0;
  const std::string text(reinterpret_cast<const char*>(data + kHeaderBytes), size - kHeaderBytes);

  TEventFormats formats;
  TEntryFormatter formatter(formats, clock);
  int lastNumber = 0;
  formatter.ExpandTemplate(text, entry, lastNumber);

  const int row = entry.EventIndex < 6 ? entry.EventIndex : formats.AddRow(eventItems[entry.EventIndex]);
  formats.SetTemplate(row, text);
  formatter.FormatEntry(entry, sample, eventItems);
  return 0;
}
