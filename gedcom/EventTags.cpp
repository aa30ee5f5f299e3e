#include "gedcom/EventTags.h"

#include <array>
#include <utility>

#include "gedcom/GedcomTree.h"

namespace mindrel {

namespace {

using TTagName = std::pair<std::string_view, const char*>;

constexpr std::array<TTagName, 22> kIndividualEvents = {{
    {"BIRT", TGedcomTree::kBirth}, {"DEAT", TGedcomTree::kDeath}, {"CHR", "Christening"},
    {"BURI", "Burial"},            {"CREM", "Cremation"},         {"ADOP", "Adoption"},
    {"BAPM", "Baptism"},           {"BARM", "Bar Mitzvah"},       {"BASM", "Bas Mitzvah"},
    {"BLES", "Blessing"},          {"CHRA", "Adult Christening"}, {"CONF", "Confirmation"},
    {"FCOM", "First Communion"},   {"ORDN", "Ordination"},        {"NATU", "Naturalization"},
    {"EMIG", "Emigration"},        {"IMMI", "Immigration"},       {"CENS", "Census"},
    {"PROB", "Probate"},           {"WILL", "Will"},              {"GRAD", "Graduation"},
    {"RETI", "Retirement"},
}};

constexpr std::array<TTagName, 10> kFamilyEvents = {{
    {"MARR", TGedcomTree::kMarriage},
    {"DIV", TGedcomTree::kDivorce},
    {"ANUL", "Annulment"},
    {"CENS", "Census"},
    {"DIVF", "Divorce Filed"},
    {"ENGA", "Engagement"},
    {"MARB", "Marriage Banns"},
    {"MARC", "Marriage Contract"},
    {"MARL", "Marriage License"},
    {"MARS", "Marriage Settlement"},
}};

template <std::size_t N>
const char* Find(const std::array<TTagName, N>& table, std::string_view tag) {
  for (const auto& [known, name] : table) {
    if (known == tag) return name;
  }
  return nullptr;
}

}  // namespace

const char* TEventTags::IndividualEvent(std::string_view tag) { return Find(kIndividualEvents, tag); }

const char* TEventTags::FamilyEvent(std::string_view tag) { return Find(kFamilyEvents, tag); }

}  // namespace mindrel
