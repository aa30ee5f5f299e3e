#include "lists/HeaderSections.h"

#include <algorithm>
#include <cstddef>

namespace mindrel {

namespace {

int LeftOfLast(const std::vector<THeaderSection>& sections) {
  int left = 0;
  for (std::size_t i = 0; i + 1 < sections.size(); ++i) left += sections[i].Width;
  return left;
}

}  // namespace

void FillLastSection(std::vector<THeaderSection>& sections, int headerWidth) {
  if (sections.empty()) return;
  sections.back().Width = headerWidth - LeftOfLast(sections);
}

void FitSections(std::vector<THeaderSection>& sections, int headerWidth, int resized) {
  if (sections.empty() || resized < 0 || resized >= static_cast<int>(sections.size())) return;
  const int room = headerWidth - sections.back().MinWidth;
  const int left = LeftOfLast(sections);
  if (room < left && resized + 1 < static_cast<int>(sections.size())) {
    THeaderSection& section = sections[static_cast<std::size_t>(resized)];
    section.Width = std::max(section.MinWidth, section.Width - (left - room));
  }
  FillLastSection(sections, headerWidth);
}

}  // namespace mindrel
