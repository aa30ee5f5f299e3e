#include "engine/components/KeelQuery.h"

#include <charconv>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDatabase.h"
#include "engine/components/KeelSession.h"
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
  TAbortAction action = TAbortAction::aaContinue;
  bool offered = false;
  while (!scanner.AtEnd()) {
    TScannedStatement scanned;
    try {
      scanned = scanner.Next();
    } catch (const ENoSqlStatement&) {
      DatabaseError(db_messages::kNoSqlStatement);
    }
    // Each statement starts without a result.
    result = runOffered(scanned, database.Folder(), action, offered);
  }
  if (!result.cursor) DatabaseError(db_messages::kNoTableHandle);
  live_ = result.live;
  return *result.cursor;
}

TKeelQuery::TStatementResult TKeelQuery::runOffered(const TScannedStatement& scanned, TDataDirectory& folder,
                                                    TAbortAction& action, bool& offered) {
  for (;;) {
    try {
      return RunStatement(scanned, folder);
    } catch (const std::exception& error) {
      if (!OnQueryError) throw;
      if (!offered) action = TAbortAction::aaContinue;
      offered = true;
      OnQueryError(*this, error, action);
    }
    if (action == TAbortAction::aaAbort) throw EAbort();
    if (action == TAbortAction::aaContinue) return {};
    // aaRetry: the same statement from its first character.
  }
}

bool TKeelQuery::CanModify() const { return live_ && TKeelDataSet::CanModify(); }

void TKeelQuery::CloseCursor() {
  live_ = false;
  executor_.reset();
}

TKeelQuery::TStatementResult TKeelQuery::RunStatement(const TScannedStatement& scanned, TDataDirectory& folder) {
  if (!executor_) {
    const TKeelSession& session = Session();
    executor_ = std::make_unique<TSelectExecutor>(
        folder, TSelectSettings{.PrivateDir = session.PrivateFolder(),
                                .RequestLive = RequestLive,
                                .MaxRowCount = MaxRowCount,
                                .ProgressSteps = session.ProgressSteps(),
                                .OnQueryProgress = {}});
  }
  if (OnQueryProgress) {
    executor_->Settings().OnQueryProgress = [this](int percent, bool& stop) { OnQueryProgress(*this, percent, stop); };
  } else {
    executor_->Settings().OnQueryProgress = {};
  }
  executor_->Prepare(scanned.Text, scanned.FirstLine, scanned.FirstColumn);
  bindParameters(scanned);
  TDataCursor& cursor = executor_->Execute();
  return {&cursor, executor_->Live()};
}

// The i-th marker of a statement stands for its i-th named parameter.
void TKeelQuery::bindParameters(const TScannedStatement& scanned) {
  const std::vector<TExpToken*>& markers = executor_->Statement().Parameters();
  for (size_t i = 0; i < markers.size(); ++i) {
    const TKeelParam* param = i < scanned.ParameterNames.size()
                                  ? params_.FindParam(AnsiToUtf8(scanned.ParameterNames[i]))
                                  : nullptr;
    TExpToken& marker = *markers[i];
    if (!param || !param->Value) {
      marker.ClearValue();
      continue;
    }
    const std::string& text = *param->Value;
    switch (param->DataType) {
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger:
      case TFieldType::ftWord:
      case TFieldType::ftAutoInc:
      case TFieldType::ftLargeint: {
        int64_t value = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
        if (parsed.ec != std::errc{} || parsed.ptr != text.data() + text.size())
          DatabaseError(db_messages::kInvalidParamValue, {text, param->Name});
        marker.SetInteger(FieldType::LargeInt, value);
        break;
      }
      case TFieldType::ftBoolean:
        if (!SameName(text, "True") && !SameName(text, "False")) DatabaseError(db_messages::kInvalidParamValue, {text, param->Name});
        marker.SetBoolean(SameName(text, "True"));
        break;
      default: marker.SetText(FieldType::String, Utf8ToAnsi(text));
    }
  }
}

}  // namespace keel
