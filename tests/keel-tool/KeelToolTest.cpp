#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using mindrel::testing::FileText;
using mindrel::testing::RunTool;
using mindrel::testing::ToolRun;

class KeelToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-tool-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  ToolRun keel(const std::vector<std::string>& args, const std::string& input = "") {
    return RunTool("keel", args, dir_, input);
  }
  void createPeople() {
    std::ofstream(dir_ + "/schema.json") << R"({"fields":[
      {"name":"Code","type":"ftInteger","required":true},
      {"name":"Name","type":"ftString","size":20},
      {"name":"Born","type":"ftDate"},
      {"name":"Note","type":"ftMemo","compression":9}],
      "indexes":[{"name":"ByCode","fields":"Code","options":["ixUnique"]},
                 {"name":"ByName","fields":"Name;Code","descfields":"Code"}],
      "user_major":3,"description":"Folk"})";
    ASSERT_EQ(keel({"create", dir_, "People", dir_ + "/schema.json"}).code, 0);
  }
  std::string tableBytes() { return FileText(dir_ + "/People.dat") + FileText(dir_ + "/People.idx"); }

  std::string dir_;
};

TEST_F(KeelToolTest, RowsGoInAndComeOutInIndexOrder) {
  createPeople();
  ToolRun inserted = keel({"insert", dir_, "People"},
                      "{\"Code\":30,\"Name\":\"Bo\",\"Born\":\"1950-03-04\",\"Note\":\"K\xC3\xB6ln\"}\n"
                      "\n"
                      "{\"Code\":10,\"Name\":\"Al\"}\n"
                      "{\"Code\":20,\"Name\":\"Bo\"}\n");
  ASSERT_EQ(inserted.code, 0) << inserted.err;
  EXPECT_EQ(inserted.out, "1\n2\n3\n");

  ToolRun byName = keel({"dump", dir_, "People", "--index", "ByName"});
  EXPECT_EQ(byName.out,
            "{\"RecordID\":2,\"Code\":10,\"Name\":\"Al\",\"Born\":null,\"Note\":null}\n"
            "{\"RecordID\":1,\"Code\":30,\"Name\":\"Bo\",\"Born\":\"1950-03-04\",\"Note\":\"K\xC3\xB6ln\"}\n"
            "{\"RecordID\":3,\"Code\":20,\"Name\":\"Bo\",\"Born\":null,\"Note\":null}\n");
  ToolRun found = keel({"dump", dir_, "People", "--index", "ByCode", "--find", "{\"Code\":20}"});
  EXPECT_EQ(found.out, "{\"RecordID\":3,\"Code\":20,\"Name\":\"Bo\",\"Born\":null,\"Note\":null}\n");
  ToolRun range = keel({"dump", dir_, "People", "--index", "ByCode", "--range-start", "{\"Code\":15}", "--range-end",
                    "{\"Code\":40}"});
  EXPECT_EQ(std::count(range.out.begin(), range.out.end(), '\n'), 2);

  ASSERT_EQ(keel({"update", dir_, "People", "1", "{\"Name\":\"Ann\",\"Note\":null}"}).code, 0);
  ASSERT_EQ(keel({"delete", dir_, "People", "2"}).code, 0);
  ToolRun physical = keel({"dump", dir_, "People", "--physical"});
  EXPECT_EQ(physical.out,
            "{\"RecordID\":1,\"Code\":30,\"Name\":\"Ann\",\"Born\":\"1950-03-04\",\"Note\":null}\n"
            "{\"RecordID\":3,\"Code\":20,\"Name\":\"Bo\",\"Born\":null,\"Note\":null}\n");
  EXPECT_EQ(keel({"verify", dir_, "People"}).out, "ok\n");

  ToolRun info = keel({"info", dir_, "People"});
  EXPECT_NE(info.out.find("\"user_major\":3"), std::string::npos);
  EXPECT_NE(info.out.find("\"active_rows\":2"), std::string::npos);
  EXPECT_NE(info.out.find("{\"slot\":2,\"name\":\"ByName\",\"fields\":\"Name;Code\",\"descfields\":\"Code\""),
            std::string::npos);
}

TEST_F(KeelToolTest, JsonEscapesBecomeTheirCharactersAndBadOnesAreRefused) {
  createPeople();
  ASSERT_EQ(keel({"insert", dir_, "People"}, R"({"Code":1,"Name":"K\u00f6ln \u20ac\t"})").code, 0);
  EXPECT_EQ(keel({"dump", dir_, "People"}).out,
            "{\"RecordID\":1,\"Code\":1,\"Name\":\"K\xC3\xB6ln \xE2\x82\xAC\\t\",\"Born\":null,\"Note\":null}\n");
  for (const char* bad : {R"({"Code":2,"Name":"\ud800"})", R"({"Code":2,"Name":"\udc00x"})",
                          R"({"Code":2,"Name":"\u12"})", R"({"Code":2,"Name":"\q"})"}) {
    EXPECT_NE(keel({"insert", dir_, "People"}, bad).code, 0) << bad;
  }
  EXPECT_EQ(keel({"dump", dir_, "People"}).out.find("\"Code\":2"), std::string::npos);
}

TEST_F(KeelToolTest, BadArgumentsChangeNothing) {
  createPeople();
  ASSERT_EQ(keel({"insert", dir_, "People"}, "{\"Code\":1}\n").code, 0);
  const std::string before = tableBytes();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"insert", dir_, "People"}, "{\"Code\":2}\n{\"Code\":\"three\"}\n"},  // second line bad: first not written
      {{"insert", dir_, "People"}, "{\"Code\":2,}\n"},
      {{"insert", dir_, "People"}, "{\"Nope\":2}\n"},
      {{"insert", dir_, "People"}, "{\"RecordID\":7}\n"},
      {{"update", dir_, "People", "x", "{}"}, ""},
      {{"update", dir_, "People", "1", "[1]"}, ""},
      {{"delete", dir_, "People", "1", "-4"}, ""},
      {{"dump", dir_, "People", "--physical", "--find", "{\"Code\":1}"}, ""},
      {{"dump", dir_, "People", "--bogus"}, ""},
      {{"frobnicate", dir_, "People"}, ""},
  };
  for (const auto& [args, input] : cases) {
    ToolRun run = keel(args, input);
    EXPECT_EQ(run.code, 64) << args[0] << " " << input << run.err;
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(tableBytes(), before);
}

TEST_F(KeelToolTest, EngineErrorsGiveTheirMessageAndCode2) {
  createPeople();
  ASSERT_EQ(keel({"insert", dir_, "People"}, "{\"Code\":1}\n").code, 0);
  const struct {
    std::vector<std::string> args;
    std::string input;
    std::string message;
  } cases[] = {
      {{"insert", dir_, "People"}, "{\"Code\":1}\n",
       "Keel Engine Error # 9729 Duplicate key found in the index 'ByCode' of the table 'People'\n"},
      {{"insert", dir_, "People"}, "{\"Name\":\"x\"}\n",
       "Keel Engine Error # 9732 A value must be provided for the field 'Code' in the table 'People'\n"},
      {{"delete", dir_, "People", "9"}, "", "Keel Engine Error # 8710 Record not found in the table 'People'\n"},
      {{"info", dir_, "Ghost"}, "", "Keel Engine Error # 11010 Table or backup file '" + dir_ + "/Ghost.dat' does not exist\n"},
      {{"create", dir_, "People", dir_ + "/schema.json"}, "", "Keel Engine Error # 13060 The table 'People' already exists\n"},
  };
  for (const auto& c : cases) {
    ToolRun run = keel(c.args, c.input);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, c.message);
  }
}

TEST_F(KeelToolTest, DeleteTakesManyRecordIdsAndDeletesNothingWhenOneIsMissing) {
  createPeople();
  std::string rows;
  for (int code = 1; code <= 50; ++code) rows += "{\"Code\":" + std::to_string(code) + "}\n";
  ASSERT_EQ(keel({"insert", dir_, "People"}, rows).code, 0);
  const std::string before = tableBytes();
  ToolRun missing = keel({"delete", dir_, "People", "3", "77", "5"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err, "Keel Engine Error # 8710 Record not found in the table 'People'\n");
  EXPECT_EQ(tableBytes(), before);

  ASSERT_EQ(keel({"delete", dir_, "People", "50", "1", "25", "26", "2"}).code, 0);
  ToolRun left = keel({"dump", dir_, "People", "--index", "ByCode"});
  EXPECT_EQ(std::count(left.out.begin(), left.out.end(), '\n'), 45);
  for (const char* gone : {"\"Code\":1,", "\"Code\":2,", "\"Code\":25,", "\"Code\":26,", "\"Code\":50,"}) {
    EXPECT_EQ(left.out.find(gone), std::string::npos) << gone;
  }
  EXPECT_EQ(keel({"verify", dir_, "People"}).out, "ok\n");
}

TEST_F(KeelToolTest, EncryptedTablesNeedTheirPassword) {
  std::ofstream(dir_ + "/secret.json") << R"({"fields":[{"name":"Note","type":"ftString","size":30}],"password":"open sesame"})";
  ASSERT_EQ(keel({"create", dir_, "Vault", dir_ + "/secret.json"}).code, 0);
  EXPECT_EQ(keel({"insert", dir_, "Vault"}, "{\"Note\":\"hidden\"}\n").err,
            "Keel Engine Error # 10498 Insufficient rights to the table 'Vault', a password is required\n");
  EXPECT_EQ(keel({"--password", "open sesame", "insert", dir_, "Vault"}, "{\"Note\":\"hidden\"}\n").code, 0);
  EXPECT_EQ(FileText(dir_ + "/Vault.dat").find("hidden"), std::string::npos);
  EXPECT_EQ(keel({"dump", dir_, "Vault", "--password", "open sesame"}).out, "{\"RecordID\":1,\"Note\":\"hidden\"}\n");
}

TEST_F(KeelToolTest, VerifyReportsDamageWithoutCrashing) {
  createPeople();
  std::string rows;
  for (int i = 1; i <= 300; ++i) rows += "{\"Code\":" + std::to_string(i) + ",\"Name\":\"n" + std::to_string(i % 17) + "\"}\n";
  ASSERT_EQ(keel({"insert", dir_, "People"}, rows).code, 0);
  ASSERT_EQ(keel({"verify", dir_, "People"}).out, "ok\n");

  {  // change one stored value behind the engine's back: the row's hash no longer fits
    std::fstream data(dir_ + "/People.dat", std::ios::in | std::ios::out | std::ios::binary);
    data.seekp(512 + 4 * 768 + 25 + 1);
    data.put('\x7F');
  }
  ToolRun damaged = keel({"verify", dir_, "People"});
  EXPECT_EQ(damaged.code, 1);
  EXPECT_NE(damaged.out.find("row 1 has a wrong RecordHash"), std::string::npos) << damaged.out;
  EXPECT_NE(damaged.out.find("row 1 has no key"), std::string::npos) << damaged.out;  // its Code moved

  {  // scribble over the first index page
    std::fstream index(dir_ + "/People.idx", std::ios::in | std::ios::out | std::ios::binary);
    index.seekp(25088 + 20);
    index.write(std::string(200, '\x5A').data(), 200);
  }
  ToolRun scribbled = keel({"verify", dir_, "People"});
  EXPECT_EQ(scribbled.code, 1) << scribbled.err;
  EXPECT_FALSE(scribbled.out.empty());
}

TEST_F(KeelToolTest, VerifyReadsTheBlobFileAndRepairRebuildsWhatTheRowsHold) {
  createPeople();
  ASSERT_EQ(keel({"insert", dir_, "People"},
                 "{\"Code\":1,\"Name\":\"Al\",\"Note\":\"first\"}\n"
                 "{\"Code\":2,\"Name\":\"Bo\",\"Note\":\"second\"}\n"
                 "{\"Code\":3,\"Name\":\"Cy\"}\n")
                .code,
            0);
  {  // row 1's BLOB block carries a stamp its row does not; an index page is scribbled over
    std::fstream blob(dir_ + "/People.blb", std::ios::in | std::ios::out | std::ios::binary);
    blob.seekp(512 + 10);
    blob.write("\x4D\0\0\0", 4);
    std::fstream index(dir_ + "/People.idx", std::ios::in | std::ios::out | std::ios::binary);
    index.seekp(25088 + 20);
    index.write(std::string(200, '\x5A').data(), 200);
  }
  ToolRun damaged = keel({"verify", dir_, "People"});
  EXPECT_EQ(damaged.code, 1);
  EXPECT_NE(damaged.out.find("BLOB file: row 1 field Note: block 1 carries stamp 77, the row 1\n"), std::string::npos)
      << damaged.out;

  ToolRun repaired = keel({"repair", dir_, "People"});
  EXPECT_EQ(repaired.code, 1) << repaired.err;
  EXPECT_EQ(repaired.out,
            "rebuilt: 3 index trees from 3 rows\n"
            "rebuilt: rows on the free-row chain: 0\n"
            "rebuilt: blocks on the free-block chain: 1\n"
            "not kept: row 1 field Note: block 1 carries stamp 77, the row 1; value emptied\n");
  EXPECT_EQ(keel({"verify", dir_, "People"}).out, "ok\n");
  EXPECT_EQ(keel({"dump", dir_, "People", "--index", "ByName"}).out,
            "{\"RecordID\":1,\"Code\":1,\"Name\":\"Al\",\"Born\":null,\"Note\":null}\n"
            "{\"RecordID\":2,\"Code\":2,\"Name\":\"Bo\",\"Born\":null,\"Note\":\"second\"}\n"
            "{\"RecordID\":3,\"Code\":3,\"Name\":\"Cy\",\"Born\":null,\"Note\":null}\n");
  EXPECT_EQ(keel({"repair", dir_, "People"}).code, 0) << "a sound table loses nothing";
}

}  // namespace
