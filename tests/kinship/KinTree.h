#pragma once

// Small family trees written by hand for the relationship tests: people by
// name, families of partners and children, parents named on a record.

#include <cctype>
#include <initializer_list>
#include <map>
#include <string>

#include "kinship/KinGraphBuilder.h"
#include "kinship/KinshipSearch.h"
#include "kinship/KinshipTerms.h"

namespace mindrel {

class TKinTree {
 public:
  // Men's names are written in capitals, women's in lower case, others
  // start with "?": the tests read better with the sex in sight.
  std::int32_t Person(const std::string& name) {
    const auto found = codes_.find(name);
    if (found != codes_.end()) return found->second;
    const std::int32_t code = nextCode_++;
    codes_[name] = code;
    builder_.AddPerson(code, SexOf(name));
    return code;
  }
  std::int32_t Code(const std::string& name) const { return codes_.at(name); }

  std::int32_t Family(std::initializer_list<const char*> partners, std::initializer_list<const char*> children = {}) {
    const std::int32_t family = nextFamily_++;
    for (const char* partner : partners) builder_.AddPartner(family, Person(partner));
    for (const char* child : children) builder_.AddChild(family, Person(child));
    return family;
  }

  TKinGraphBuilder& Builder() { return builder_; }

  // The graph, searched from `home`; answers the terms by name.
  void SearchFrom(const std::string& home) {
    graph_ = builder_.Build();
    kinships_ = TKinshipSearch::From(graph_, graph_.PersonIndex(Code(home)));
  }
  const TKinGraph& Graph() const { return graph_; }
  const TKinship& KinshipOf(const std::string& name) const {
    return kinships_[graph_.PersonIndex(Code(name))];
  }
  std::string TermOf(const std::string& name) const {
    const std::uint32_t person = graph_.PersonIndex(Code(name));
    return TKinshipTerms::Term(kinships_[person], graph_.Sex(person));
  }

 private:
  static TSex SexOf(const std::string& name) {
    if (name.empty() || name[0] == '?') return TSex::Unknown;
    return name == Upper(name) ? TSex::Male : TSex::Female;
  }
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }

  std::map<std::string, std::int32_t> codes_;
  std::int32_t nextCode_ = 1;
  std::int32_t nextFamily_ = 1;
  TKinGraphBuilder builder_;
  TKinGraph graph_;
  std::vector<TKinship> kinships_;
};

}  // namespace mindrel
