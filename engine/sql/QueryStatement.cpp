#include "engine/sql/QueryStatement.h"

#include <utility>

#include "engine/sql/NameResolver.h"
#include "engine/sql/SelectParser.h"

namespace keel {

namespace {

struct TOneWordKind {
  std::string_view Keyword;
  TStatementKind Kind;
};

constexpr TOneWordKind kOneWordKinds[] = {
    {"SELECT", TStatementKind::Select},     {"INSERT", TStatementKind::Insert},
    {"UPDATE", TStatementKind::Update},     {"DELETE", TStatementKind::Delete},
    {"ROLLBACK", TStatementKind::Rollback}, {"COMMIT", TStatementKind::Commit},
};

// Kinds named by two keywords; `Expected` lists what may follow the first.
struct TTwoWordKind {
  std::string_view First;
  std::string_view Second;
  TStatementKind Kind;
  std::string_view Expected;
};

constexpr std::string_view kAfterCreate = "TABLE, INDEX, UNIQUE, or NOCASE";
constexpr std::string_view kAfterDrop = "TABLE or INDEX";

constexpr TTwoWordKind kTwoWordKinds[] = {
    {"CREATE", "TABLE", TStatementKind::CreateTable, kAfterCreate},
    {"CREATE", "INDEX", TStatementKind::CreateIndex, kAfterCreate},
    {"CREATE", "UNIQUE", TStatementKind::CreateIndex, kAfterCreate},
    {"CREATE", "NOCASE", TStatementKind::CreateIndex, kAfterCreate},
    {"DROP", "TABLE", TStatementKind::DropTable, kAfterDrop},
    {"DROP", "INDEX", TStatementKind::DropIndex, kAfterDrop},
    {"ALTER", "TABLE", TStatementKind::AlterTable, "TABLE"},
    {"EMPTY", "TABLE", TStatementKind::EmptyTable, "TABLE"},
    {"OPTIMIZE", "TABLE", TStatementKind::OptimizeTable, "TABLE"},
    {"EXPORT", "TABLE", TStatementKind::ExportTable, "TABLE"},
    {"IMPORT", "TABLE", TStatementKind::ImportTable, "TABLE"},
    {"VERIFY", "TABLE", TStatementKind::VerifyTable, "TABLE"},
    {"REPAIR", "TABLE", TStatementKind::RepairTable, "TABLE"},
    {"UPGRADE", "TABLE", TStatementKind::UpgradeTable, "TABLE"},
    {"RENAME", "TABLE", TStatementKind::RenameTable, "TABLE"},
    {"START", "TRANSACTION", TStatementKind::StartTransaction, "TRANSACTION"},
};

constexpr std::string_view kFirstWords =
    "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, RENAME, EMPTY, OPTIMIZE, EXPORT, IMPORT, VERIFY, "
    "REPAIR, UPGRADE, START, ROLLBACK, or COMMIT";

}  // namespace

TQueryStatement::TQueryStatement(TSourceColumns& sources, std::string dataExtension)
    : sources_(sources), dataExtension_(std::move(dataExtension)) {}

void TQueryStatement::Release() {
  parameters_.clear();
  query_.reset();
  kind_ = TStatementKind::None;
  tableName_.clear();
}

void TQueryStatement::PrepareStatement(std::string_view text, int firstLine, int firstColumn) {
  Release();
  try {
    parser_.Load(text, firstLine, firstColumn);
    parser_.Errors().SetLabel("SQL statement");
    parser_.SetParameterList(&parameters_);
    parser_.NextToken();
    bool parenthesised = parser_.IsCharacter('(');
    if (parenthesised) {
      parser_.NextToken();
      parser_.RequireKeyword("SELECT");
    }
    RecogniseKind();
    if (kind_ == TStatementKind::Select) {
      TSelectParser select(parser_, text, firstLine, firstColumn, dataExtension_);
      query_ = select.ParseStatement(parenthesised);
      TNameResolver(sources_, parser_.Errors()).Resolve(*query_);
      tableName_ = query_->SourceTables.front().TableName;
    }
  } catch (...) {
    Release();
    throw;
  }
}

// Sets the kind and the label. A SELECT stays on its keyword for the SELECT
// grammar; the other kinds move past the keywords that name them.
void TQueryStatement::RecogniseKind() {
  for (const TOneWordKind& entry : kOneWordKinds) {
    if (!parser_.IsKeyword(entry.Keyword)) continue;
    SetLabel(parser_.TokenText());
    kind_ = entry.Kind;
    if (kind_ != TStatementKind::Select) parser_.NextToken();
    return;
  }
  const TTwoWordKind* first = nullptr;
  for (const TTwoWordKind& entry : kTwoWordKinds) {
    if (parser_.IsKeyword(entry.First)) first = &entry;
  }
  if (first == nullptr) parser_.RaiseExpected(kFirstWords);
  parser_.Mark();
  parser_.NextToken();
  for (const TTwoWordKind& entry : kTwoWordKinds) {
    if (entry.First != first->First || !parser_.IsKeyword(entry.Second)) continue;
    parser_.NextToken();
    SetLabel(parser_.TextSinceMark());
    kind_ = entry.Kind;
    return;
  }
  parser_.RaiseExpected(first->Expected);
}

// The keywords as written, upper-cased and without line breaks.
void TQueryStatement::SetLabel(std::string_view keywords) {
  std::string label;
  for (char c : keywords) {
    if (c == '\r' || c == '\n') continue;
    label += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  parser_.Errors().SetLabel(label + " SQL statement");
}

}  // namespace keel
