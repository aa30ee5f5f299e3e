#include "app/Settings.h"

#include <algorithm>
#include <set>

#include "formats/Utf8Text.h"

namespace mindrel {

TSettings::TSettings() {
  for (const char* text : {"Birth", "Marriage", "Divorce", "Death", "Added fixed", "Added annual", "Yahrzeit"}) {
    EventItems.push_back({text, false});
  }
}

void TSettings::SetCustomColumns(const std::vector<std::string>& columns) {
  std::set<std::string> wasTicked;
  for (std::size_t i = kFixedEventItems; i < EventItems.size(); ++i) {
    if (EventItems[i].Ticked) wasTicked.insert(LowerCase(EventItems[i].Text));
  }
  EventItems.resize(kFixedEventItems);
  for (const std::string& column : columns) {
    const bool known = std::any_of(EventItems.begin(), EventItems.end(),
                                   [&](const TEventItem& item) { return SameText(item.Text, column); });
    if (!known) EventItems.push_back({column, wasTicked.count(LowerCase(column)) > 0});
  }
}

int TSettings::FindEventItem(const std::string& text) const {
  for (std::size_t i = 0; i < EventItems.size(); ++i) {
    if (EventItems[i].Text == text) return static_cast<int>(i);
  }
  return -1;
}

void TSettings::SetCustColor(const std::string& key, const std::string& value) {
  for (std::string& line : CustColors) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos && SameText(Trim(line.substr(0, equals)), key)) {
      line = line.substr(0, equals + 1) + value;
      return;
    }
  }
  CustColors.push_back(key + "=" + value);
}

}  // namespace mindrel
