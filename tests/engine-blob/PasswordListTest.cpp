#include <gtest/gtest.h>

#include <string>

#include "engine/core/PasswordList.h"
#include "tests/engine-blob/ErrorMatchers.h"

namespace keel {
namespace {

TTableCipher::Digest CheckFor(std::string_view password) { return TDataPassword(password).cipher().passwordCheck(); }

TEST(PasswordList, FindsFirstFittingPasswordInOrderAdded) {
  TPasswordList passwords;
  passwords.add("alpha");
  passwords.add("beta");
  passwords.add("alpha");  // equal text: ignored
  passwords.add("Alpha");  // differs in case: another password
  EXPECT_EQ(passwords.size(), 3u);
  EXPECT_KEEL_ERROR(passwords.add(std::string(256, 'p')), ErrorCode::KEEL_INVALIDPASSWORD);
  EXPECT_EQ(passwords.size(), 3u);

  EXPECT_EQ(passwords.findForTable("People", CheckFor("beta"))->text(), "beta");
  EXPECT_EQ(passwords.findForTable("People", CheckFor("alpha"))->text(), "alpha");
}

TEST(PasswordList, NoFittingPasswordRaises10498NamingTheTable) {
  TPasswordList passwords;
  passwords.add("Secret");
  passwords.add("Alpha");
  const auto check = CheckFor("secret");  // differs only in case
  try {
    passwords.findForTable("People", check);
    FAIL() << "a wrong password was accepted";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
    EXPECT_NE(std::string(error.what()).find("'People'"), std::string::npos) << error.what();
  }
}

TEST(PasswordList, CallbackMayAddPasswordAndAskAgain) {
  TPasswordList passwords;
  int asked = 0;
  passwords.setPasswordNeeded([&](std::string_view table) {
    EXPECT_EQ(table, "Events");
    ++asked;
    if (asked == 1) passwords.add("wrong");
    if (asked == 2) passwords.add("right");
    return asked < 3;
  });
  EXPECT_EQ(passwords.findForTable("Events", CheckFor("right"))->text(), "right");
  EXPECT_EQ(asked, 2);

  passwords.setPasswordNeeded([&](std::string_view) { return false; });
  EXPECT_KEEL_ERROR(passwords.findForTable("Events", CheckFor("never")), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
}

TEST(PasswordList, RemovedPasswordStaysUsableByTableHoldingIt) {
  TPasswordList passwords;
  passwords.add("kept");
  const auto held = passwords.findForTable("T", CheckFor("kept"));
  passwords.removeAll();
  EXPECT_FALSE(passwords.contains("kept"));
  EXPECT_TRUE(held->cipher().acceptsCheck(CheckFor("kept")));
  EXPECT_KEEL_ERROR(passwords.findForTable("T", CheckFor("kept")), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
}

TEST(PasswordList, NewTablePasswordRules) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", false},
      {"   \t", false},
      {std::string(129, 'x'), false},
      {std::string(128, 'x'), true},
      {" padded ", true},
  };
  for (const Case& c : cases) {
    TPasswordList passwords;
    if (c.valid) {
      EXPECT_EQ(passwords.forNewTable("Ignore", c.text)->text(), c.text);
      EXPECT_TRUE(passwords.contains(c.text)) << "added to the session";
    } else {
      EXPECT_KEEL_ERROR(passwords.forNewTable("Ignore", c.text), ErrorCode::KEEL_INVALIDPASSWORD);
      EXPECT_EQ(passwords.size(), 0u);
    }
  }
}

}  // namespace
}  // namespace keel
