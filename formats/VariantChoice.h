#pragma once

#include <vector>

#include "formats/OPObj.h"

namespace mindrel {

// Which variant of the event formats (TEventFormats::Variant) an entry's
// sentence takes instead of its event's own template: a year nobody recorded,
// the dead, an approximate date, a date known only to its month or year, a
// count of one, an added fixed event on its own day. One table decides, in
// order of precedence, both for the entries of the list and for the sample
// entries the editor shapes to show each variant.
class TVariantChoice {
 public:
  // Every variant whose case the entry meets, the closest first ("Birth,
  // dead, approximate" before "Birth, dead"); none when its event's own
  // template fits. Where the user emptied one, the next one speaks, and
  // after the last the event's own template. The plain "Other date" variant
  // is no choice of this kind: it stands in where a user's date column has
  // no template.
  static std::vector<int> VariantsFor(const TOPObj& entry);

  // Makes `entry` an entry that takes `variant`: its event index (a fixed
  // event type's, or the first custom index for the "Other date" ones), its
  // flags and, where the case needs them, its years (1 for a count of one, 0
  // for an event's own day, otherwise never 0 or 1). Variant -1 makes it an
  // entry that its event's own template fits, its event index unchanged.
  static void Shape(int variant, TOPObj& entry);
};

}  // namespace mindrel
