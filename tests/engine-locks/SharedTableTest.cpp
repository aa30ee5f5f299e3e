// Cursors of one process that reach a table through different folder
// objects (two sessions), and settings of the folder and its tables.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/DataSession.h"
#include "tests/engine-locks/CodesTable.h"
#include "tests/engine-locks/LockTestSupport.h"

namespace keel {
namespace {

using testing::AppendCodes;
using testing::CodeIn;
using testing::CodesTable;
using testing::TempFolder;

std::vector<int32_t> CodesFrom(TDataCursor& cursor, Nav start) {
  std::vector<int32_t> codes;
  std::vector<uint8_t> row(cursor.rowSize());
  for (Nav r = start; r == Nav::Ok; r = cursor.next()) {
    cursor.currentRow(row);
    codes.push_back(CodeIn(cursor, row));
  }
  return codes;
}

TEST(SharedTable, ACursorOfASecondFolderObjectSeesARowAppendedThroughTheFirst) {
  TempFolder folder;
  TDataEngine engine;
  TDataSession first(engine);
  TDataSession second(engine);
  TDataDirectory writerFolder(first, folder.path());
  TDataDirectory readerFolder(second, folder.path());
  writerFolder.createTable(CodesTable());
  TDataCursor writer(writerFolder, "Codes");
  AppendCodes(writer, 10, 30, 10);
  TDataCursor reader(readerFolder, "Codes");
  reader.setIndex("ByCode");
  ASSERT_EQ(reader.first(), Nav::Ok);
  ASSERT_EQ(reader.next(), Nav::Ok);  // on 20

  AppendCodes(writer, 25, 25);
  EXPECT_EQ(CodesFrom(reader, reader.next()), (std::vector<int32_t>{25, 30}));
  EXPECT_EQ(reader.recordCount(), 4);
}

}  // namespace
}  // namespace keel
