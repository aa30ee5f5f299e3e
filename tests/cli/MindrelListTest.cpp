#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

// Runs a command of the shell, returning its exit code and both outputs.
Outcome Shell(const std::string& command, const fs::path& scratch) {
  const fs::path out = scratch / "stdout", err = scratch / "stderr";
  const int status = std::system((command + " >'" + out.string() + "' 2>'" + err.string() + "'").c_str());
  Outcome run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ostringstream o, e;
  o << std::ifstream(out).rdbuf();
  e << std::ifstream(err).rdbuf();
  run.out = o.str();
  run.err = e.str();
  return run;
}

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// mindrel-list as a user runs it, on a tree made by mktree.
class MindrelListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mindrel-list-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    data_ = root_ / "data";
    fs::create_directories(data_);
    fs::create_directories(root_ / "scratch");
  }
  void TearDown() override { fs::remove_all(root_); }

  Outcome List(const std::string& today = "2026-12-10", const std::string& options = "") {
    return Shell("WINEPREFIX='" + (root_ / "none").string() + "' " MINDREL_BIN_DIR "/mindrel-list --today " + today +
                     " --data-dir '" + data_.string() + "' " + options,
                 root_ / "scratch");
  }
  void MakeTree(int people = 150) {
    const Outcome made = Shell(MINDREL_BIN_DIR "/mktree '" + (root_ / "tree").string() + "' --people " +
                                   std::to_string(people) + " --seed 5 --today 2026-12-10",
                           root_ / "scratch");
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  void WriteSettings(const std::string& extra) {
    std::ofstream(data_ / "Mindrel.INI") << "[Prefs]\nNDBs=1\nDB0=\"" << (root_ / "tree").string() << "\"\n" << extra;
  }

  fs::path root_, data_;
};

TEST_F(MindrelListTest, WithoutAFolderItSaysSoAndFails) {
  const Outcome run = List();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "No valid databases selected.\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(MindrelListTest, ListsDatedSentencesAndLeavesTheSettingsAlone) {
  MakeTree();
  WriteSettings("DateFormat=\"dd/mm\"\n");
  const std::string before = ReadFile(data_ / "Mindrel.INI");
  const Outcome run = List();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_GE(line.size(), 7u) << line;
    EXPECT_EQ(line[2], '/') << line;
    EXPECT_EQ(line[5], '\t') << line;
  }
  EXPECT_GT(count, 5);
  EXPECT_EQ(ReadFile(data_ / "Mindrel.INI"), before);

  // Only the own tables and the lock file stay beside the settings.
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(data_)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"Mindrel.INI", "Ignore.dat", "Ignore.idx", "Events.dat", "Events.idx",
                                         "keel.lck"}));
}

TEST_F(MindrelListTest, NothingTickedPrintsNothing) {
  MakeTree();
  WriteSettings("[Fields]\nCount=0\n");
  const Outcome run = List();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(MindrelListTest, AFolderThatIsNoTreeIsDropped) {
  fs::create_directories(root_ / "tree");
  std::ofstream(root_ / "tree" / "People.dat") << "not a table";
  WriteSettings("");
  const Outcome run = List();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "The family tree in \"" + (root_ / "tree").string() +
                         "\" could not be read: \"People.dat\" ends too early: it was cut short "
                         "(Keel Engine Error # 9217).\nNo valid databases selected.\n");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// --home names the home person for one run: the sentences of relatives say
// how they are related, the others read as without it, and a code that is
// in no tree is told about and changes nothing.
TEST_F(MindrelListTest, HomeForOneRunTellsTheRelationships) {
  MakeTree(400);
  WriteSettings("Alive=no\n[Fields]\nCount=4\nF1=Birth\nF2=Marriage\nF3=Death\nF4=Divorce\n");
  const std::string before = ReadFile(data_ / "Mindrel.INI");
  const Outcome plain = List();
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(plain.out.find(", your "), std::string::npos);

  // The home person: the parent with the most children in the links.
  const Outcome links = Shell(MINDREL_BIN_DIR "/keel dump '" + (root_ / "tree").string() + "' Links.dat", root_ / "scratch");
  ASSERT_EQ(links.exitCode, 0) << links.err;
  std::map<std::string, std::vector<std::string>> partners;
  std::map<std::string, int> children;
  static const std::regex kLink(R"re("RecType":"(.)","ChildMarr":(\d+),"PersFam":(\d+))re");
  for (const std::string& line : Lines(links.out)) {
    std::smatch link;
    if (!std::regex_search(line, link, kLink)) continue;
    if (link[1] == "P") partners[link[2]].push_back(link[3]);
    if (link[1] == "C") ++children[link[2]];
  }
  std::string home;
  int most = 0;
  for (const auto& [family, count] : children) {
    if (count > most && !partners[family].empty()) {
      most = count;
      home = partners[family].front();
    }
  }
  ASSERT_FALSE(home.empty());
  const Outcome related = List("2026-12-10", "--home " + home);
  ASSERT_EQ(related.exitCode, 0) << related.err;
  EXPECT_EQ(related.err, "");
  const std::vector<std::string> withHome = Lines(related.out);
  ASSERT_EQ(withHome.size(), Lines(plain.out).size()) << "all people are listed by default";
  int told = 0;
  static const std::regex kRelation(
      R"(, (you|your)[a-z0-9 -]*(,|$)|birthday \(your [a-z0-9 -]+\))");
  for (const std::string& line : withHome) {
    if (line.find("your ") == std::string::npos) continue;
    ++told;
    EXPECT_TRUE(std::regex_search(mindrel::testing::WithoutJubileeMark(line), kRelation)) << line;
  }
  EXPECT_GT(told, 0);
  EXPECT_EQ(ReadFile(data_ / "Mindrel.INI"), before) << "a one-off run writes no settings";

  // The calendar carries the same sentences (its lines unfolded), without
  // the "when" that would be stale on any other day.
  const Outcome calendar = List("2026-12-10", "--home " + home + " --ical");
  ASSERT_EQ(calendar.exitCode, 0) << calendar.err;
  const std::string unfolded = std::regex_replace(calendar.out, std::regex("\r\n "), "");
  int summaries = 0;
  for (const std::string& line : withHome) {
    if (line.find("your ") == std::string::npos) continue;
    std::string sentence = mindrel::testing::WithoutJubileeMark(line.substr(line.find('\t') + 1));
    sentence = std::regex_replace(sentence, std::regex(",? (in \\d+ days|today|tomorrow)$"), "");
    if (std::regex_search(sentence, std::regex("^(Today|Tomorrow|In \\d+ days) "))) {
      sentence = std::regex_replace(sentence, std::regex("^(Today|Tomorrow|In \\d+ days) "), "");
      sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    }
    ++summaries;
    // iCalendar text escapes its commas.
    EXPECT_NE(unfolded.find("SUMMARY:" + std::regex_replace(sentence, std::regex(","), "\\,")), std::string::npos)
        << sentence;
  }
  EXPECT_EQ(summaries, told);

  const Outcome gone = List("2026-12-10", "--home 999999");
  EXPECT_EQ(gone.exitCode, 0);
  EXPECT_NE(gone.err.find("[P999999]"), std::string::npos) << gone.err;
  EXPECT_EQ(gone.out, plain.out);
  EXPECT_EQ(List("2026-12-10", "--home three").exitCode, 64);
}

// A calendar event keeps its day for itself: its summary is the listed
// sentence without the "today", "tomorrow" or "in N days" that would be
// wrong on any other day.
TEST_F(MindrelListTest, CalendarHoldsTheListedAlertsAsAllDayEventsWithStableUids) {
  MakeTree();
  // A birth template with the characters that a calendar text must escape.
  WriteSettings("DateFormat=\"yyyy-mm-dd\"\n[Text]\nT0=\"<name>; born, \\ <when>\"\n");
  const Outcome plain = List();
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  static const std::regex kWhen(R"( (today|tomorrow|in \d+ days)$)");
  std::vector<std::string> listed;
  for (const std::string& line : Lines(plain.out)) {
    listed.push_back(line.substr(0, 10) + '	' +
                     std::regex_replace(mindrel::testing::WithoutJubileeMark(line.substr(11)), kWhen, ""));
  }
  ASSERT_GT(listed.size(), 5u);

  std::vector<std::string> runs[2];
  for (auto& events : runs) {
    const Outcome calendar = List("2026-12-10", "--ical");
    ASSERT_EQ(calendar.exitCode, 0) << calendar.err;
    std::ofstream(root_ / "alerts.ics", std::ios::binary) << calendar.out;
    const Outcome parsed = Shell("/usr/bin/python3 '" MINDREL_TEST_SOURCE_DIR "/calendar_events.py' '" +
                                     (root_ / "alerts.ics").string() + "'",
                                 root_ / "scratch");
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    events = Lines(parsed.out);
  }
  EXPECT_EQ(runs[0], runs[1]) << "a second export gives the same events and UIDs";

  ASSERT_EQ(runs[0].size(), listed.size());
  std::set<std::string> uids;
  bool escaped = false;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const std::string& event = runs[0][i];
    const auto uidStart = event.find('\t') + 1, uidEnd = event.find('\t', uidStart);
    EXPECT_EQ(event.substr(0, uidStart) + event.substr(uidEnd + 1), listed[i]) << "date and summary of event " << i;
    uids.insert(event.substr(uidStart, uidEnd - uidStart));
    escaped = escaped || listed[i].ends_with("; born, \\");
  }
  EXPECT_EQ(uids.size(), listed.size()) << "every alert has its own UID";
  EXPECT_TRUE(escaped) << "a birthday went through the escapes";
}

// The bytes of every file of the tree, keyed by name; the lock file, which
// readers may join, is left out.
std::map<std::string, std::string> TreeFiles(const fs::path& tree) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(tree)) {
    const std::string name = entry.path().filename().string();
    if (name != "keel.lck") files[name] = ReadFile(entry.path());
  }
  return files;
}

TEST_F(MindrelListTest, ATreeThatLostItsPeopleAndFamiliesIndexesListsEveryAlertAndIsNotWritten) {
  MakeTree();
  WriteSettings("");
  const Outcome whole = List();
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  ASSERT_FALSE(whole.out.empty());
  fs::remove(root_ / "tree" / "People.idx");
  fs::remove(root_ / "tree" / "Families.idx");
  const auto before = TreeFiles(root_ / "tree");
  const Outcome run = List();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, whole.out);
  EXPECT_EQ(TreeFiles(root_ / "tree"), before);
}

TEST_F(MindrelListTest, ScansWhileAnotherProgramSavesPeopleAllCompleteWithTheFullList) {
  // Large enough that a scan takes many read-lock turns.
  MakeTree(3000);
  WriteSettings("");
  const Outcome whole = List();
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  // Another program keeps saving people while the scans run.
  const fs::path stop = root_ / "stop";
  std::ofstream(root_ / "saver.sh") << "i=0; while [ ! -e '" << stop.string() << "' ]; do i=$((i+1)); "
                                    << MINDREL_BIN_DIR "/keel update '" << (root_ / "tree").string()
                                    << "' People $((i % 3000 + 1)) \"{\\\"Occupation\\\":\\\"job $i\\\"}\" "
                                    << "|| exit 1; done\n";
  const std::string saver = "bash '" + (root_ / "saver.sh").string() + "' & echo $! > '" +
                            (root_ / "saver.pid").string() + "'";
  ASSERT_EQ(std::system(saver.c_str()), 0);
  int complete = 0;
  for (int scan = 0; scan < 30; ++scan) {
    const Outcome run = List();
    EXPECT_EQ(run.exitCode, 0) << "scan " << scan << ": " << run.err;
    EXPECT_EQ(run.out, whole.out) << "scan " << scan;
    if (run.exitCode == 0 && run.out == whole.out) ++complete;
    // The scan's own query, as the table tool runs it, twice per scan.
    for (int query = 0; query < 2; ++query) {
      const Outcome sql = Shell(MINDREL_BIN_DIR "/keel sql '" + (root_ / "tree").string() +
                                    "' 'SELECT * FROM People P WHERE P.[Dead] <> True AND P.[Search date~J] IS NOT "
                                    "NULL ORDER BY P.[Search date~J]' > /dev/null",
                                root_ / "scratch");
      EXPECT_EQ(sql.exitCode, 0) << "query " << scan << ": " << sql.err;
    }
  }
  std::ofstream(stop) << "";
  std::system(("while kill -0 $(cat '" + (root_ / "saver.pid").string() + "') 2>/dev/null; do sleep 0.05; done")
                  .c_str());
  EXPECT_EQ(complete, 30);
}

// An own table cut inside a row by a crash or a full disk: the start repairs
// it, lists every alert as before and tells which file lost what.
TEST_F(MindrelListTest, AnIgnoreListCutInsideARowStillListsEveryAlertWithAMessage) {
  MakeTree();
  WriteSettings("");
  const Outcome first = List();
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_NE(first.out, "");
  std::ofstream(root_ / "scratch" / "ignored.json") << R"({"DBFolder":"elsewhere","Code":1,"Surname":"A"}
{"DBFolder":"elsewhere","Code":2,"Surname":"B"}
{"DBFolder":"elsewhere","Code":3,"Surname":"C"}
)";
  const Outcome inserted = Shell(MINDREL_BIN_DIR "/keel insert '" + data_.string() + "' Ignore < '" +
                                     (root_ / "scratch" / "ignored.json").string() + "'",
                                 root_ / "scratch");
  ASSERT_EQ(inserted.exitCode, 0) << inserted.err;
  fs::resize_file(data_ / "Ignore.dat", fs::file_size(data_ / "Ignore.dat") - 100);

  const Outcome run = List();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, first.out);
  EXPECT_NE(run.err.find("\"" + (data_ / "Ignore.dat").string() +
                         "\" was damaged and has been repaired. 2 entries were kept; not kept:\nrow 3 left out"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(List().err, "") << "repaired once, the table opens cleanly";
}

// A tree whose index files are lost or damaged is still read whole: each
// index the scan needs is built in memory from the rows, and the folder is
// left as it was.
TEST_F(MindrelListTest, ATreeWithALostOrDamagedIndexFileListsTheSameAlerts) {
  MakeTree();
  WriteSettings("");
  const Outcome intact = List();
  ASSERT_EQ(intact.exitCode, 0) << intact.err;
  ASSERT_NE(intact.out, "");
  const fs::path tree = root_ / "tree";
  fs::copy(tree, root_ / "pristine");
  for (const char* table : {"People", "Families", "Links"}) {
    for (const bool lost : {true, false}) {
      SCOPED_TRACE(std::string(table) + (lost ? ".idx lost" : ".idx header damaged"));
      fs::remove_all(tree);
      fs::copy(root_ / "pristine", tree);
      const fs::path index = tree / (std::string(table) + ".idx");
      if (lost) {
        fs::remove(index);
      } else {
        std::fstream bytes(index, std::ios::in | std::ios::out | std::ios::binary);
        bytes.seekp(8);
        bytes.write("\x5A\x5A\x5A\x5A", 4);
      }
      std::map<std::string, std::string> before;
      for (const auto& entry : fs::directory_iterator(tree)) before[entry.path().string()] = ReadFile(entry.path());
      const Outcome run = List();
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(run.out, intact.out);
      std::map<std::string, std::string> after;
      for (const auto& entry : fs::directory_iterator(tree)) after[entry.path().string()] = ReadFile(entry.path());
      EXPECT_TRUE(after == before) << "the tree folder is not written";
    }
  }
}

// What a user is told when a family tree cannot be read, or not whole: the
// folder, the file and the cause in words with the engine's error number,
// and every other source is still listed.
TEST_F(MindrelListTest, ATreeThatCannotBeReadIsNamedWithItsCauseAndTheOthersAreListed) {
  MakeTree();
  const fs::path tree = root_ / "tree", other = root_ / "other";
  ASSERT_EQ(Shell(MINDREL_BIN_DIR "/mktree '" + other.string() + "' --people 60 --seed 9 --today 2026-12-10",
                  root_ / "scratch").exitCode, 0);
  fs::copy(tree, root_ / "pristine");
  auto half = [](const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); };
  struct Case {
    const char* what;
    std::function<void()> damage;
    std::string told;  // after "The family tree in "<tree>" could not be read"
  };
  const std::vector<Case> cases{
      {"damaged lock file", [&] { std::ofstream(tree / "keel.lck") << "no list here"; },
       ": the folder's lock file \"keel.lck\" is damaged (Keel Engine Error # 12036)."},
      {"cut People.dat", [&] { half(tree / "People.dat"); },
       " whole: \"People.dat\" ends too early: it was cut short (Keel Engine Error # 9217). "
       "The alerts found in it before are listed."},
      {"cut Families.dat", [&] { half(tree / "Families.dat"); },
       " whole: \"Families.dat\" ends too early: it was cut short (Keel Engine Error # 9217). "
       "The alerts found in it before are listed."},
      {"damaged header",
       [&] {
         std::fstream people(tree / "People.dat", std::ios::in | std::ios::out | std::ios::binary);
         people.seekp(8);
         people.write("\x5A", 1);
       },
       ": \"People.dat\" is damaged, or is no table of the family-tree program (Keel Engine Error # 12036)."},
      {"missing folder", [&] { fs::remove_all(tree); }, ": the folder does not exist."},
  };
  const std::string lines = [&] {
    std::ofstream(data_ / "Mindrel.INI") << "[Prefs]\nNDBs=1\nDB0=\"" << other.string() << "\"\n";
    return List().out;
  }();
  ASSERT_NE(lines, "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(tree);
    fs::copy(root_ / "pristine", tree);
    c.damage();
    std::ofstream(data_ / "Mindrel.INI") << "[Prefs]\nNDBs=2\nDB0=\"" << tree.string() << "\"\nDB1=\""
                                         << other.string() << "\"\n";
    const Outcome run = List();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string named = "The family tree in \"" + tree.string() + "\" could not be read";
    EXPECT_EQ(run.err, named + c.told + "\n");
    std::istringstream wanted(lines);
    for (std::string line; std::getline(wanted, line);)
      EXPECT_NE(run.out.find(line), std::string::npos) << "the other tree is listed: " << line;
  }
}

// Sources a start leaves out, and settings it cannot use, are named: an empty
// GEDCOM file, one without "0 HEAD", and a settings file that ticks only an
// event type nothing offers.
TEST_F(MindrelListTest, SilentlyEmptyListsAreNamed) {
  const fs::path empty = root_ / "empty.ged", headless = root_ / "headless.ged";
  std::ofstream(empty).close();
  std::ofstream(headless) << "0 @I1@ INDI\n1 NAME John /Smith/\n";
  std::ofstream(data_ / "Mindrel.INI") << "[Prefs]\nNDBs=2\nDB0=\"" << empty.string() << "\"\nDB1=\""
                                       << headless.string() << "\"\n";
  Outcome run = List();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "GEDCOM file \"" + empty.string() + "\": the file is empty\nGEDCOM file \"" +
                         headless.string() + "\", line 1: the file does not begin with \"0 HEAD\"\n" +
                         "No valid databases selected.\n");

  MakeTree();
  WriteSettings("[Fields]\nCount=2147483647\nF1=Nonsense\n");
  run = List();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "The settings file \"" + (data_ / "Mindrel.INI").string() +
                         "\" ticks the event type \"Nonsense\" ([Fields] F1), which none of the folders offers; "
                         "it is left out.\n");
}

}  // namespace
