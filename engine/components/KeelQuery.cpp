#include "engine/components/KeelQuery.h"

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDatabase.h"
#include "engine/components/KeelEngine.h"
#include "engine/core/TextCase.h"

namespace keel {

TKeelQuery::~TKeelQuery() { Close(); }

std::string TKeelQuery::Text() const {
  std::string text;
  for (size_t i = 0; i < sql_.size(); ++i) {
    if (i > 0) text += '\n';
    text += sql_[i];
  }
  return text;
}

void TKeelQuery::SetSQL(std::vector<std::string> lines) {
  Close();
  CloseCursor();
  sql_ = std::move(lines);
  if (ParamCheck) collectParams();
}

void TKeelQuery::collectParams() {
  std::vector<std::string> names;
  TStatementScanner scanner(Utf8ToAnsi(Text()));
  try {
    while (!scanner.AtEnd()) {
      for (const std::string& name : scanner.Next().ParameterNames) names.push_back(AnsiToUtf8(name));
    }
  } catch (const ENoSqlStatement&) {
    // An empty statement ends the text that can hold parameters.
  }
  params_.Rebuild(names);
}

void TKeelQuery::CheckOpenable() const {
  if (TStatementScanner(Utf8ToAnsi(Text())).AtEnd()) DatabaseError(db_messages::kNoSqlStatement);
}

TDataCursor& TKeelQuery::OpenCursor(TKeelDatabase& database) {
  TStatementScanner scanner(Utf8ToAnsi(Text()));
  TStatementResult result;
  while (!scanner.AtEnd()) {
    TScannedStatement scanned;
    try {
      scanned = scanner.Next();
    } catch (const ENoSqlStatement&) {
      DatabaseError(db_messages::kNoSqlStatement);
    }
    // Each statement starts without a result.
    result = RunStatement(scanned, database.Folder());
  }
  if (!result.cursor) DatabaseError(db_messages::kNoTableHandle);
  live_ = result.live;
  return *result.cursor;
}

bool TKeelQuery::CanModify() const { return live_ && TKeelDataSet::CanModify(); }

void TKeelQuery::CloseCursor() {
  live_ = false;
  statement_.reset();
  sources_.reset();
}

TKeelQuery::TStatementResult TKeelQuery::RunStatement(const TScannedStatement& scanned, TDataDirectory& folder) {
  CloseCursor();
  sources_ = std::make_unique<TFolderColumns>(folder);
  statement_ = std::make_unique<TQueryStatement>(*sources_, TKeelEngine::Instance().TableDataExtension());
  statement_->PrepareStatement(scanned.Text, scanned.FirstLine, scanned.FirstColumn);
  raise(ErrorCode::KEEL_SQLEXEC, {.extra = statement_->Label() + " cannot be executed by this engine yet"});
}

}  // namespace keel
