#include "engine/core/ErrorCodes.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace keel {
namespace {

EKeelEngineError Caught(ErrorCode code, ErrorContext context) {
  try {
    raise(code, std::move(context));
  } catch (const EKeelEngineError& error) {
    return error;
  }
  ADD_FAILURE() << "raise returned";
  return EKeelEngineError(ErrorCode::KEEL_NONE, {});
}

struct MessageCase {
  ErrorCode code;
  ErrorContext context;
  const char* message;
};

TEST(ErrorCodesTest, MessagesFillTheirPlacesInTemplateOrder) {
  const MessageCase cases[] = {
      {ErrorCode::KEEL_OSENOENT, {.table = "/data/People.dat"},
       "Keel Engine Error # 11010 Table or backup file '/data/People.dat' does not exist"},
      {ErrorCode::KEEL_KEYVIOL, {.table = "Events", .index = "ByName"},
       "Keel Engine Error # 9729 Duplicate key found in the index 'ByName' of the table 'Events'"},
      {ErrorCode::KEEL_INVALIDIDXDESC, {.table = "T", .field = "7", .index = "Ix"},
       "Keel Engine Error # 10023 Invalid field number '7' specified in the index 'Ix' for the table 'T'"},
      {ErrorCode::KEEL_OSUNKNOWN, {.table = "/x.dat", .osError = 28},
       "Keel Engine Error # 11047 An unknown operating system error 28 occurred with the table or backup file "
       "'/x.dat'"},
      {ErrorCode::KEEL_INVALIDFILTER, {.table = "People", .extra = "Expected )", .line = 1, .column = 12},
       "Keel Engine Error # 10051 Filter error for the table 'People' - Expected ) at line 1, column 12"},
      {ErrorCode::KEEL_SQLPARSE, {.extra = "Unexpected end", .line = 3, .column = 4},
       "Keel Engine Error # 11949 SQL parsing error - Unexpected end at line 3, column 4"},
      {ErrorCode::KEEL_OSENOMEM, {},
       "Keel Engine Error # 11016 There is insufficient operating system memory available for the current "
       "operation"},
      {static_cast<ErrorCode>(4242), {}, "Keel Engine Error # 4242 An unknown error occurred"},
  };
  for (const MessageCase& c : cases) {
    EKeelEngineError error = Caught(c.code, c.context);
    EXPECT_EQ(error.what(), std::string(c.message));
    EXPECT_EQ(error.code(), c.code);
  }
}

TEST(ErrorCodesTest, LongContextAndMessageAreCut) {
  EKeelEngineError error = Caught(ErrorCode::KEEL_OSENOENT, {.table = std::string(400, 'a')});
  EXPECT_EQ(error.context().table.size(), 255u);
  EXPECT_EQ(FormatErrorMessage(ErrorCode::KEEL_OSENOENT, error.context()).size(), 254u);
  EXPECT_EQ(std::string(error.what()).size(), std::string("Keel Engine Error # 11010 ").size() + 254);
}

TEST(ErrorCodesTest, NamesAndForeignExceptions) {
  EXPECT_EQ(ErrorName(ErrorCode::KEEL_BOF), "KEEL_BOF");
  EXPECT_EQ(ErrorName(ErrorCode::KEEL_NONE), "KEEL_NONE");
  EXPECT_EQ(ErrorCodeOf(std::runtime_error("x")), ErrorCode::KEEL_OSUNKNOWN);
  EXPECT_EQ(ErrorCodeOf(Caught(ErrorCode::KEEL_EOF, {})), ErrorCode::KEEL_EOF);
}

TEST(ErrorCodesTest, ErrnoMapping) {
  const std::pair<int, ErrorCode> cases[] = {
      {ENOENT, ErrorCode::KEEL_OSENOENT}, {ENOTDIR, ErrorCode::KEEL_OSENOENT}, {EMFILE, ErrorCode::KEEL_OSEMFILE},
      {ENFILE, ErrorCode::KEEL_OSEMFILE}, {EACCES, ErrorCode::KEEL_OSEACCES},  {EPERM, ErrorCode::KEEL_OSEACCES},
      {EEXIST, ErrorCode::KEEL_OSEACCES}, {EROFS, ErrorCode::KEEL_OSEACCES},   {EBADF, ErrorCode::KEEL_OSEBADF},
      {ENOMEM, ErrorCode::KEEL_OSENOMEM}, {EXDEV, ErrorCode::KEEL_OSENOTSAM},  {ENOSPC, ErrorCode::KEEL_OSUNKNOWN},
  };
  for (auto [errnum, code] : cases) EXPECT_EQ(ErrorCodeForErrno(errnum), code) << errnum;
  try {
    raiseOsError(ENOSPC, "/t.dat");
    FAIL();
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.osError(), ENOSPC);
    EXPECT_EQ(error.context().table, "/t.dat");
  }
}

}  // namespace
}  // namespace keel
