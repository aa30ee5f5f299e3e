#pragma once

#include <vector>

namespace mindrel {

// One section of a list window's header.
struct THeaderSection {
  int Width = 0;
  int MinWidth = 0;
};

// The last section fills what the ones before it leave of the header.
void FillLastSection(std::vector<THeaderSection>& sections, int headerWidth);

// After section `resized` took a new width: it gives back what the last
// section would need to keep its minimum, and the last section fills the
// header again.
void FitSections(std::vector<THeaderSection>& sections, int headerWidth, int resized);

}  // namespace mindrel
