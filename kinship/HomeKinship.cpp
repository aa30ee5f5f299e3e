#include "kinship/HomeKinship.h"

#include <algorithm>

#include "kinship/KinshipSearch.h"
#include "kinship/KinshipTerms.h"

namespace mindrel {

THomeKinship::THomeKinship(TKinGraph graph, std::uint32_t home)
    : graph_(std::move(graph)), kinships_(TKinshipSearch::From(graph_, home)) {}

std::string THomeKinship::Phrase(std::uint32_t person, TSex sex) const {
  return TKinshipTerms::Phrase(kinships_[person], sex);
}

std::string THomeKinship::PersonPhrase(std::int32_t code, TSex sex) const {
  const std::uint32_t person = graph_.PersonIndex(code);
  return person == TKinGraph::kNone ? std::string() : Phrase(person, sex);
}

std::string THomeKinship::FamilyPhrase(std::int32_t familyCode, const TSexOf& sexOf) const {
  const auto couple = graph_.FamilyPartners(familyCode);
  if (std::none_of(couple.begin(), couple.end(), [&](std::uint32_t p) { return kinships_[p].Related(); })) return "";
  struct TPartner {
    std::uint32_t Person;
    TSex Sex;
  };
  std::vector<TPartner> partners;
  for (const std::uint32_t partner : couple) partners.push_back({partner, sexOf(graph_.PersonCode(partner))});
  // A couple is named husband first ("John Smith = Mary Brown").
  if (partners.size() == 2 && partners[0].Sex == TSex::Female && partners[1].Sex == TSex::Male) {
    std::swap(partners[0], partners[1]);
  }
  std::string phrase;
  for (const TPartner& partner : partners) {
    const std::string own = Phrase(partner.Person, partner.Sex);
    if (own.empty()) continue;
    phrase += (phrase.empty() ? "" : " and ") + own;
  }
  return phrase;
}

bool THomeKinship::Within(const TKinship& kinship, TFamilyLimit limit, std::uint32_t degrees) {
  switch (limit) {
    case TFamilyLimit::AllPeople:
      return true;
    case TFamilyLimit::Relatives:
      return kinship.Related();
    case TFamilyLimit::BloodRelatives:
      return kinship.Blood() && kinship.Degree() <= degrees;
  }
  return true;
}

bool THomeKinship::PersonWithin(std::int32_t code, TFamilyLimit limit, std::uint32_t degrees) const {
  if (limit == TFamilyLimit::AllPeople) return true;
  const std::uint32_t person = graph_.PersonIndex(code);
  return person != TKinGraph::kNone && Within(kinships_[person], limit, degrees);
}

bool THomeKinship::FamilyWithin(std::int32_t familyCode, TFamilyLimit limit, std::uint32_t degrees) const {
  if (limit == TFamilyLimit::AllPeople) return true;
  const auto partners = graph_.FamilyPartners(familyCode);
  return std::any_of(partners.begin(), partners.end(),
                     [&](std::uint32_t partner) { return Within(kinships_[partner], limit, degrees); });
}

}  // namespace mindrel
