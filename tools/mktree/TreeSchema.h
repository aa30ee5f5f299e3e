#pragma once

// The three tables of a family-tree folder as the family-tree program lays
// them out. Mindrel relies on the column names, the types of the date columns,
// the user version of "People.dat", the index "CFMIdx" of "Links.dat", and on
// the program's own columns filling exactly the first 37 columns of People and
// the first 23 of Families, so that date columns added by the user (the
// custom event types) start at those positions.

#include <string>
#include <vector>

#include "engine/core/DataDirectory.h"

namespace mindrel::tree_schema {

inline constexpr int kPeopleOwnColumns = 37;
inline constexpr int kFamiliesOwnColumns = 23;
inline constexpr short kUserMajorVersion = 3;

inline constexpr const char* kPeople = "People";
inline constexpr const char* kFamilies = "Families";
inline constexpr const char* kLinks = "Links";

// Custom date columns the trees carry; "Emigration" is in both tables.
std::vector<std::string> PeopleCustomDates();
std::vector<std::string> FamiliesCustomDates();

keel::TableCreateRequest People();
keel::TableCreateRequest Families();
keel::TableCreateRequest Links();

}  // namespace mindrel::tree_schema
