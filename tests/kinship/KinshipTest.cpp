#include <gtest/gtest.h>

#include "KinTree.h"
#include "kinship/HomeKinship.h"

namespace mindrel {
namespace {

// Four generations around the home person ME, with remarriages on both
// sides, in-laws, and a half line through a grandfather's second wife.
// Men are in capitals, women in lower case.
class KinshipTermsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.Family({"GGF", "ggm"}, {"GF", "great-aunt"});
    tree_.Family({"GREAT-AUNT'S HUSBAND", "great-aunt"}, {"GREAT-AUNT'S SON"});
    tree_.Family({"GREAT-AUNT'S SON", "his wife"}, {"SECOND COUSIN"});
    tree_.Family({"GF", "gm"}, {"FATHER", "UNCLE", "aunt"});
    tree_.Family({"GF", "step-grandmother"}, {"HALF-UNCLE"});
    tree_.Family({"HALF-UNCLE", "half-uncle's wife"}, {"half-cousin"});
    tree_.Family({"OTHER MAN", "step-grandmother"}, {"STEPUNCLE"});
    tree_.Family({"AUNT'S HUSBAND", "aunt"});
    tree_.Family({"UNCLE", "uncle's wife"}, {"cousin"});
    tree_.Family({"COUSIN'S HUSBAND", "cousin"}, {"COUSIN'S SON"});
    tree_.Family({"COUSIN'S SON", "his partner"}, {"COUSIN'S GRANDSON"});
    tree_.Family({"FATHER", "mother"}, {"ME", "sister", "BROTHER"});
    tree_.Family({"MOTHER'S FIRST HUSBAND", "mother"}, {"half-sister"});
    tree_.Family({"FATHER", "stepmother"}, {"HALF-BROTHER"});
    tree_.Family({"STEPMOTHER'S FIRST HUSBAND", "stepmother"}, {"STEPBROTHER"});
    tree_.Family({"BROTHER", "brother's wife"}, {"NEPHEW"});
    tree_.Family({"NEPHEW", "nephew's wife"}, {"great-niece"});
    tree_.Family({"WIFE'S FATHER", "wife's mother"}, {"wife", "WIFE'S BROTHER"});
    tree_.Family({"WIFE'S BROTHER", "his wife too"}, {"WIFE'S NEPHEW"});
    tree_.Family({"WIFE'S FIRST HUSBAND", "wife"}, {"stepdaughter"});
    tree_.Family({"ME", "wife"}, {"SON", "daughter"});
    tree_.Family({"DAUGHTER'S HUSBAND", "daughter"});
    tree_.Family({"SON", "son's wife"}, {"GRANDSON"});
    tree_.Family({"GRANDSON", "grandson's wife"}, {"great-granddaughter"});
    tree_.Family({"GREAT-GRANDDAUGHTER'S HUSBAND", "great-granddaughter"}, {"2ND GREAT-GRANDSON"});
    tree_.Family({"STRANGER", "stranger's wife"}, {"?STRANGER'S CHILD"});
    tree_.Family({"STEPDAUGHTER'S HUSBAND", "stepdaughter"}, {"?STEP-GRANDCHILD"});
    tree_.SearchFrom("ME");
  }

  TKinTree tree_;
};

TEST_F(KinshipTermsTest, NamesEveryoneAsTheStandardTermsDo) {
  const std::pair<const char*, const char*> cases[] = {
      {"ME", "you"},
      // The direct line, up and down.
      {"FATHER", "father"},
      {"mother", "mother"},
      {"GF", "grandfather"},
      {"GGF", "great-grandfather"},
      {"SON", "son"},
      {"daughter", "daughter"},
      {"GRANDSON", "grandson"},
      {"great-granddaughter", "great-granddaughter"},
      {"2ND GREAT-GRANDSON", "2nd great-grandson"},
      // Collateral blood relatives.
      {"sister", "sister"},
      {"BROTHER", "brother"},
      {"UNCLE", "uncle"},
      {"aunt", "aunt"},
      {"great-aunt", "great-aunt"},
      {"NEPHEW", "nephew"},
      {"great-niece", "great-niece"},
      {"cousin", "first cousin"},
      {"COUSIN'S SON", "first cousin once removed"},
      {"COUSIN'S GRANDSON", "first cousin twice removed"},
      {"GREAT-AUNT'S SON", "first cousin once removed"},
      {"SECOND COUSIN", "second cousin"},
      // Through one parent only.
      {"half-sister", "half-sister"},
      {"HALF-BROTHER", "half-brother"},
      {"HALF-UNCLE", "half-uncle"},
      {"half-cousin", "half first cousin"},
      // Spouses, relatives' spouses and the spouse's relatives.
      {"wife", "wife"},
      {"DAUGHTER'S HUSBAND", "son-in-law"},
      {"son's wife", "daughter-in-law"},
      {"grandson's wife", "granddaughter-in-law"},
      {"brother's wife", "sister-in-law"},
      {"WIFE'S BROTHER", "brother-in-law"},
      {"WIFE'S FATHER", "father-in-law"},
      {"wife's mother", "mother-in-law"},
      {"WIFE'S NEPHEW", "nephew-in-law"},
      {"AUNT'S HUSBAND", "uncle by marriage"},
      {"COUSIN'S HUSBAND", "first cousin by marriage"},
      // Step-relatives through a parent's, a grandparent's or the spouse's
      // other marriages.
      {"stepmother", "stepmother"},
      {"MOTHER'S FIRST HUSBAND", "stepfather"},
      {"step-grandmother", "step-grandmother"},
      {"STEPBROTHER", "stepbrother"},
      {"STEPUNCLE", "stepuncle"},
      {"stepdaughter", "stepdaughter"},
      {"?STEP-GRANDCHILD", "step-grandchild"},
      // Nobody the terms have a word for.
      {"STRANGER", ""},
      {"?STRANGER'S CHILD", ""},
      {"WIFE'S FIRST HUSBAND", ""},
  };
  for (const auto& [name, term] : cases) EXPECT_EQ(tree_.TermOf(name), term) << name;
}

TEST_F(KinshipTermsTest, GivesTheDegreeOfBloodRelativesAndTheMarkOfTheHomePerson) {
  EXPECT_TRUE(tree_.KinshipOf("ME").Self());
  EXPECT_EQ(tree_.KinshipOf("FATHER").Degree(), 1u);
  EXPECT_EQ(tree_.KinshipOf("sister").Degree(), 2u);
  EXPECT_EQ(tree_.KinshipOf("UNCLE").Degree(), 3u);
  EXPECT_EQ(tree_.KinshipOf("cousin").Degree(), 4u);
  EXPECT_FALSE(tree_.KinshipOf("wife").Blood());
  EXPECT_TRUE(tree_.KinshipOf("wife").Related());
  EXPECT_EQ(TKinshipTerms::Phrase(tree_.KinshipOf("ME"), TSex::Male), "you");
  EXPECT_EQ(TKinshipTerms::Phrase(tree_.KinshipOf("GRANDSON"), TSex::Male), "your grandson");
  EXPECT_EQ(TKinshipTerms::Phrase(tree_.KinshipOf("STRANGER"), TSex::Male), "");
}

TEST(KinshipTerms, CountsDistantGenerationsAndCousinsWithoutLimit) {
  using P = TKinship::TPath;
  const struct {
    TKinship Kinship;
    TSex Sex;
    const char* Term;
  } cases[] = {
      {{P::Blood, 5, 0}, TSex::Female, "3rd great-grandmother"},
      {{P::Blood, 13, 0}, TSex::Unknown, "11th great-grandparent"},
      {{P::Blood, 0, 24}, TSex::Male, "22nd great-grandson"},
      {{P::Blood, 1, 4}, TSex::Unknown, "2nd great-nephew or niece"},
      {{P::Blood, 4, 1}, TSex::Male, "2nd great-uncle"},
      {{P::Blood, 4, 7}, TSex::Male, "third cousin three times removed"},
      {{P::Blood, 12, 13}, TSex::Male, "11th cousin once removed"},
      {{P::Blood, 3, 17}, TSex::Female, "second cousin 14 times removed"},
      {{P::Blood, 1, 1, 0, 0, true}, TSex::Unknown, "half-sibling"},
      {{P::RelativesSpouse, 0, 0}, TSex::Unknown, "spouse"},
      {{P::RelativesSpouse, 3, 0}, TSex::Male, "step-great-grandfather"},
      {{P::StepDescendant, 0, 0, 0, 2}, TSex::Female, "step-granddaughter"},
      {{P::StepDescendant, 1, 1, 0, 1}, TSex::Male, "step-nephew"},
      {{P::SpousesRelative, 0, 0, 2, 0}, TSex::Female, "grandmother-in-law"},
      {{P::SpousesRelative, 0, 0, 2, 2}, TSex::Male, "first cousin-in-law"},
      {{P::SpousesRelative, 1, 0, 1, 0}, TSex::Male, "step-grandfather"},
  };
  for (const auto& c : cases) EXPECT_EQ(TKinshipTerms::Term(c.Kinship, c.Sex), c.Term) << c.Term;
}

// Parents nobody recorded say nothing about a half relation.
TEST(KinshipHalfRelations, NeedAnotherParentOnBothSides) {
  TKinTree tree;
  tree.Family({"mother"}, {"ME", "sister"});               // no father recorded at all
  tree.Family({"FATHER2", "mother2"}, {"ME2"});
  tree.Family({"mother2"}, {"sister2"});                   // her father unknown
  tree.Family({"FATHER2", "other woman"}, {"BROTHER2"});   // a known other mother
  tree.SearchFrom("ME");
  EXPECT_EQ(tree.TermOf("sister"), "sister");
  tree.SearchFrom("ME2");
  EXPECT_EQ(tree.TermOf("sister2"), "sister");
  EXPECT_EQ(tree.TermOf("BROTHER2"), "half-brother");
}

// Cousins who married each other: their grandchild ME descends from the
// great-grandparents along two lines, and each line repeats again above.
TEST(KinshipPedigreeCollapse, NamesRepeatedAncestorsOnceByTheNearestLine) {
  TKinTree tree;
  tree.Family({"GGF", "ggm"}, {"GF", "gm-sister"});
  tree.Family({"GF", "gm"}, {"FATHER"});
  tree.Family({"OTHER", "gm-sister"}, {"mother"});
  tree.Family({"FATHER", "mother"}, {"ME", "sister"});
  tree.SearchFrom("ME");
  EXPECT_EQ(tree.TermOf("GGF"), "great-grandfather");
  EXPECT_EQ(tree.TermOf("ggm"), "great-grandmother");
  // Mother is also father's first cousin; the nearer relation wins.
  EXPECT_EQ(tree.TermOf("mother"), "mother");
  EXPECT_EQ(tree.TermOf("gm-sister"), "grandmother");
  EXPECT_EQ(tree.TermOf("sister"), "sister");
  EXPECT_FALSE(tree.Graph().Problems().Any());
}

// Brothers and sisters married each other for sixty generations: the number
// of lines from ME to the first couple doubles with every generation (2^60),
// which any search that walks lines instead of people never finishes.
TEST(KinshipPedigreeCollapse, SixtyGenerationsOfSiblingMarriagesAreSearchedOnce) {
  TKinTree tree;
  constexpr int kGenerations = 60;
  auto man = [](int g) { return "M" + std::to_string(g); };
  auto woman = [](int g) { return "w" + std::to_string(g); };
  for (int g = 0; g < kGenerations; ++g) {
    tree.Builder().AddPartner(g + 1, tree.Person(man(g)));
    tree.Builder().AddPartner(g + 1, tree.Person(woman(g)));
    tree.Builder().AddChild(g + 1, tree.Person(man(g + 1)));
    tree.Builder().AddChild(g + 1, tree.Person(woman(g + 1)));
  }
  tree.SearchFrom(man(kGenerations));
  EXPECT_EQ(tree.TermOf(man(0)), "58th great-grandfather");
  EXPECT_EQ(tree.TermOf(woman(kGenerations)), "sister");
  EXPECT_EQ(tree.TermOf(woman(kGenerations - 1)), "mother");
}

TEST(KinshipBadData, CyclesAndOwnParentsNeitherLoopNorHideTheRest) {
  TKinTree tree;
  tree.Family({"FATHER", "mother"}, {"ME"});
  tree.Family({"ME", "wife"}, {"SON"});
  tree.Family({"SON"}, {"FATHER"});  // the son is recorded as the father's parent
  tree.Family({"LOOP"}, {"LOOP"});    // a person who is their own parent
  tree.SearchFrom("ME");
  EXPECT_EQ(tree.TermOf("FATHER"), "father");
  EXPECT_EQ(tree.TermOf("SON"), "son");
  EXPECT_EQ(tree.TermOf("wife"), "wife");
  EXPECT_EQ(tree.TermOf("LOOP"), "");
  EXPECT_TRUE(tree.Graph().Problems().ParentCycle);
  EXPECT_EQ(tree.Graph().Problems().OwnParents, 1u);
}

TEST(KinshipBadData, LinksToMissingPeopleAndCrowdedFamiliesAreCountedAndLeftOut) {
  TKinTree tree;
  const std::int32_t family = tree.Family({"FATHER", "mother"}, {"ME"});
  tree.Builder().AddPartner(family, 999);    // nobody has this code
  tree.Builder().AddChild(family, 998);
  tree.Builder().AddParent(tree.Person("ME"), 997);
  tree.Builder().AddPartner(family, tree.Person("LODGER"));  // a third partner
  tree.Builder().AddPartner(family, tree.Person("FATHER"));  // linked twice
  tree.Builder().AddPerson(tree.Person("mother"), TSex::Male);  // her code again
  tree.SearchFrom("ME");
  EXPECT_EQ(tree.TermOf("FATHER"), "father");
  EXPECT_EQ(tree.TermOf("mother"), "mother");
  EXPECT_EQ(tree.TermOf("LODGER"), "");
  const TKinGraphProblems& problems = tree.Graph().Problems();
  EXPECT_EQ(problems.MissingPeople, 3u);
  EXPECT_EQ(problems.ExtraPartners, 1u);
  EXPECT_EQ(problems.RepeatedCodes, 1u);
  EXPECT_FALSE(problems.ParentCycle);
}

// Parents named on the child's own record count as a family's do.
TEST(KinshipGraph, TakesParentsFromTheChildsRecordAndFindsFamiliesPartners) {
  TKinTree tree;
  tree.Person("ME");
  tree.Builder().AddParent(tree.Person("ME"), tree.Person("FATHER"));
  tree.Builder().AddParent(tree.Person("ME"), tree.Person("mother"));
  tree.Builder().AddParent(tree.Person("sister"), tree.Person("mother"));
  const std::int32_t couple = tree.Family({"ME", "wife"});
  tree.SearchFrom("ME");
  EXPECT_EQ(tree.TermOf("FATHER"), "father");
  EXPECT_EQ(tree.TermOf("sister"), "sister");
  const auto partners = tree.Graph().FamilyPartners(couple);
  ASSERT_EQ(partners.size(), 2u);
  EXPECT_EQ(tree.Graph().PersonCode(partners[1]), tree.Code("wife"));
  EXPECT_TRUE(tree.Graph().FamilyPartners(12345).empty());
}

}  // namespace
}  // namespace mindrel

namespace mindrel {
namespace {

// A couple is named husband first, whichever partner link came first, and a
// code the tree lacks passes no limit but the one that lets everyone pass.
TEST(HomeKinship, CouplesAndLimits) {
  TKinTree tree;
  const std::int32_t couple = tree.Family({"wife", "ME"}, {"SON"});
  const std::int32_t stranger = tree.Family({"STRANGER"});
  tree.SearchFrom("ME");
  const THomeKinship home(tree.Graph(), tree.Graph().PersonIndex(tree.Code("ME")));
  int asked = 0;
  const auto sexOf = [&](std::int32_t code) {
    ++asked;
    return tree.Graph().Sex(tree.Graph().PersonIndex(code));
  };
  EXPECT_EQ(home.FamilyPhrase(couple, sexOf), "you and your wife");
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(home.FamilyPhrase(stranger, sexOf), "");
  EXPECT_EQ(asked, 2) << "nobody of an unrelated couple is looked up";
  EXPECT_EQ(home.PersonPhrase(tree.Code("SON"), TSex::Male), "your son");
  EXPECT_EQ(home.PersonPhrase(tree.Code("SON"), TSex::Unknown), "your child");
  EXPECT_EQ(home.PersonPhrase(999, TSex::Male), "");
  EXPECT_TRUE(home.PersonWithin(999, TFamilyLimit::AllPeople, 1));
  EXPECT_FALSE(home.PersonWithin(999, TFamilyLimit::Relatives, 1));
  EXPECT_FALSE(home.PersonWithin(tree.Code("wife"), TFamilyLimit::BloodRelatives, 99));
  EXPECT_TRUE(home.FamilyWithin(couple, TFamilyLimit::BloodRelatives, 0));
  EXPECT_FALSE(home.FamilyWithin(stranger, TFamilyLimit::Relatives, 4));
}

}  // namespace
}  // namespace mindrel
