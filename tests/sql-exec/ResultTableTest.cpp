#include "engine/sql/ResultTable.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sql-exec/ExecFixture.h"

namespace keel::testing {
namespace {

class ResultTableTest : public ExecTest {
 protected:
  void SetUp() override {
    ExecTest::SetUp();
    AddPeople(
        {{1, "anna", false, 10, std::nullopt, "notes"}, {2, "bert", false, 20}, {3, "carl", false, 30}});
  }

  std::vector<std::string> SortedPrivateFiles() const {
    std::vector<std::string> names = PrivateFiles();
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(ResultTableTest, ResultFilesCarryTheThreadPrefixAFreeCounterAndTheTemporaryExtensions) {
  const std::string prefix = TResultTable::ThreadPrefix();
  ASSERT_FALSE(prefix.empty());
  EXPECT_LE(prefix.size(), 5u);
  TSelectExecutor first(*database_, Settings(), clock_);
  first.Prepare("SELECT * FROM People");
  first.Execute();
  TSelectExecutor second(*database_, Settings(), clock_);
  second.Prepare("SELECT Code FROM People");
  second.Execute();
  ASSERT_NE(first.ResultTable(), nullptr);
  EXPECT_EQ(first.ResultTable()->Name(), prefix + "0");
  EXPECT_EQ(first.ResultTable()->DisplayName(), "query (" + prefix + "0)");
  EXPECT_EQ(second.ResultTable()->Name(), prefix + "1");
  // Only the first result has a BLOB column, so only it has a BLOB file.
  EXPECT_EQ(SortedPrivateFiles(),
            (std::vector<std::string>{prefix + "0.tmpb", prefix + "0.tmpd", prefix + "0.tmpi",
                                      prefix + "1.tmpd", prefix + "1.tmpi"}));
  second.Release();
  EXPECT_EQ(SortedPrivateFiles().size(), 3u);
  // Executing again replaces the result; the freed name is taken again.
  second.Prepare("SELECT Code FROM People");
  second.Execute();
  EXPECT_EQ(second.ResultTable()->Name(), prefix + "1");
}

TEST_F(ResultTableTest, NoResultFilesRemainAfterCloseOrAfterAFailureMidGeneration) {
  {
    TSelectExecutor executor(*database_, Settings(), clock_);
    executor.Prepare("SELECT * FROM People ORDER BY Given");
    EXPECT_EQ(Codes(executor.Execute()), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(PrivateFiles().empty());
  }
  EXPECT_TRUE(PrivateFiles().empty());
  EXPECT_FALSE(database_->isOpen("People"));

  // Code 4 takes the freed first slot, so its row converts and is written
  // before the row of Code 2 fails.
  DeletePerson(1);
  AddPeople({{4, "12", false, 40}});
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("SELECT CAST(Given AS INTEGER) AS N FROM People WHERE Code IN (4, 2)");
  EKeelEngineError error = ErrorOf([&] { executor.Execute(); });
  EXPECT_EQ(error.code(), ErrorCode::KEEL_SQLEXEC) << error.what();
  EXPECT_TRUE(PrivateFiles().empty());
  EXPECT_EQ(executor.ResultTable(), nullptr);
  // The statement stays prepared; a good one runs afterwards.
  executor.Prepare("SELECT CAST(Given AS INTEGER) AS N FROM People WHERE Code = 4");
  EXPECT_EQ(Column(executor.Execute(), "N"), std::vector<std::string>{"12"});
}

TEST_F(ResultTableTest, ResultGoesToTheCurrentFolderWithoutPrivateFolderAndFailsCleanlyInAMissingOne) {
  const fs::path before = fs::current_path();
  fs::current_path(root_ / "private");
  {
    TSelectSettings settings;
    TSelectExecutor executor(*database_, settings, clock_);
    executor.Prepare("SELECT Code FROM People");
    executor.Execute();
    EXPECT_EQ(PrivateFiles().size(), 2u);
  }
  fs::current_path(before);
  EXPECT_TRUE(PrivateFiles().empty());

  TSelectSettings missing;
  missing.PrivateDir = (root_ / "no such folder").string() + "/";
  TSelectExecutor executor(*database_, missing, clock_);
  executor.Prepare("SELECT Code FROM People");
  EKeelEngineError error = ErrorOf([&] { executor.Execute(); });
  EXPECT_EQ(error.code(), ErrorCode::KEEL_OSENOENT) << error.what();
  EXPECT_FALSE(fs::exists(root_ / "no such folder"));
}

}  // namespace
}  // namespace keel::testing
