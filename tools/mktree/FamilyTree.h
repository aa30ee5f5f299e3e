#pragma once

// The content of a made-up family-tree folder, before it is written: people,
// families and the links between them. Texts are UTF-8 here; the writer
// converts them to the tables' Windows-1252.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/mktree/TreeDate.h"

namespace mindrel {

struct TTreePerson {
  std::int32_t Code = 0;
  std::string Surname;
  std::string FirstNames;
  char Sex = 'M';
  std::optional<bool> Dead;  // nothing: the program never set the flag
  std::optional<TTreeDate> Birth;
  std::string BirthPlace;
  std::optional<TTreeDate> Death;
  std::string DeathPlace;
  std::optional<TTreeDate> Burial;
  std::string BaptismPlace;
  std::string Occupation;
  std::string Notes;
  std::optional<TTreeDate> Baptism;
  std::optional<TTreeDate> Emigration;
  std::int32_t ParentFamily = 0;  // 0: none
  std::string LastChanged;        // "YYYY-MM-DD"
};

struct TTreeFamily {
  std::int32_t Code = 0;
  std::int32_t Father = 0;  // person codes; 0: partner unknown
  std::int32_t Mother = 0;
  std::string FathersName;  // "Surname, First names"
  std::string MothersName;
  std::optional<TTreeDate> Marriage;
  std::string MarriagePlace;
  std::optional<TTreeDate> Divorce;
  std::string Status;
  std::optional<TTreeDate> Engagement;
  std::optional<TTreeDate> Emigration;
  std::vector<std::int32_t> Children;
  std::string LastChanged;  // "YYYY-MM-DD"
};

struct TTreeLink {
  char RecType = 'P';          // 'P' partner, 'C' child
  std::int32_t ChildMarr = 0;  // family code
  std::int32_t PersFam = 0;    // person code
  std::int16_t Sequence = 0;   // order of the children of a family; 0 for partners
};

struct TFamilyTree {
  std::vector<TTreePerson> People;
  std::vector<TTreeFamily> Families;
  std::vector<TTreeLink> Links;
};

}  // namespace mindrel
