#include "engine/sql/NameResolver.h"

#include <memory>
#include <string_view>
#include <utility>

#include "engine/core/TextCase.h"

namespace keel {

namespace {

constexpr size_t kMaxColumns = 1024;
constexpr size_t kMaxOrderByColumns = 1024;

const TSourceColumn kHiddenColumns[] = {{"RecordID", kRecordIdField}, {"RecordHash", kRecordHashField}};

// Names typed by users compare without regard to case, with the letter
// pairs of the tables' single-byte character set.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperCase(a, 0) == UpperCase(b, 0);
}

// The parser lets only column references and integer constants into ORDER BY.
bool IsColumnNumber(const TExpToken& node) {
  return node.Kind == TNodeKind::Constant;
}

}  // namespace

TNameResolver::TNameResolver(TSourceColumns& sources, const TExpressionErrors& errors)
    : sources_(sources), errors_(errors) {}

void TNameResolver::Resolve(TDataQuery& query) {
  ResolveQuery(query);
  for (const auto& subQuery : query.SubQueries) Resolve(*subQuery);
  if (query.NextMember) Resolve(*query.NextMember);
}

void TNameResolver::ResolveQuery(TDataQuery& query) {
  tables_.clear();
  for (const TSourceTable& table : query.SourceTables) tables_.push_back({&table, sources_.ColumnsOf(table)});
  ExpandResultFields(query);
  for (TSourceTable& table : query.SourceTables) ResolveTree(table.JoinCondition.get());
  ResolveTree(query.Where.get());
  for (const auto& item : query.GroupBy) ResolveTree(item.get());
  ResolveTree(query.Having.get());
  ResolveOrderBy(query);
}

void TNameResolver::ExpandResultFields(TDataQuery& query) {
  std::vector<TResultField> fields;
  for (TResultField& item : query.ResultFields) {
    const TExpToken& expression = *item.Expression;
    int line = expression.Line;
    int column = expression.Column;
    if (expression.IsStar() && expression.Qualifier.empty()) {
      for (const TTableColumns& table : tables_) AddTableColumns(fields, table, expression);
    } else if (expression.IsStar()) {
      const TTableColumns* table = TableNamed(expression.Qualifier);
      if (table == nullptr) RaiseUnknown(expression);
      AddTableColumns(fields, *table, expression);
    } else if (expression.Kind == TNodeKind::Column) {
      ResolvePlainField(item);
      fields.push_back(std::move(item));
    } else {
      ResolveTree(item.Expression.get());
      item.IsExpression = true;
      item.Name = item.Alias.empty() ? item.Text : item.Alias;
      fields.push_back(std::move(item));
    }
    if (fields.size() > kMaxColumns) {
      errors_.Plain("Maximum number of columns (" + std::to_string(kMaxColumns) + ") exceeded", line, column);
    }
  }
  for (size_t i = 0; i < fields.size(); ++i) fields[i].ResultFieldNumber = static_cast<int>(i) + 1;
  query.ResultFields = std::move(fields);
}

void TNameResolver::AddTableColumns(std::vector<TResultField>& fields, const TTableColumns& table,
                                    const TExpToken& star) {
  for (const TSourceColumn& column : table.Columns) {
    auto reference = std::make_unique<TExpToken>();
    reference->Kind = TNodeKind::Column;
    reference->Text = star.Text;
    reference->Line = star.Line;
    reference->Column = star.Column;
    reference->Qualifier = table.Table->CorrelationName;
    reference->ColumnName = column.Name;
    reference->FieldNumber = column.FieldNumber;
    reference->SourceNumber = table.Table->Number;
    TResultField field;
    field.Expression = std::move(reference);
    field.Text = star.Text;
    field.Name = column.Name;
    field.CorrelationName = table.Table->CorrelationName;
    field.SourceColumnName = column.Name;
    field.FieldNumber = column.FieldNumber;
    field.SourceNumber = table.Table->Number;
    fields.push_back(std::move(field));
  }
}

void TNameResolver::ResolvePlainField(TResultField& field) {
  ResolveTree(field.Expression.get());
  TFound found = Find(*field.Expression);
  field.CorrelationName = found.Table->Table->CorrelationName;
  field.SourceColumnName = found.Column.Name;
  field.FieldNumber = found.Column.FieldNumber;
  field.SourceNumber = found.Table->Table->Number;
  field.Name = field.Alias.empty() ? found.Column.Name : field.Alias;
}

void TNameResolver::ResolveTree(TExpToken* node) {
  if (node == nullptr) return;
  if (node->Kind == TNodeKind::Column && !node->IsStar()) {
    TFound found = Find(*node);
    if (found.Table == nullptr) RaiseUnknown(*node);
    node->FieldNumber = found.Column.FieldNumber;
    node->SourceNumber = found.Table->Table->Number;
  }
  ResolveTree(node->Left.get());
  ResolveTree(node->Right.get());
  for (const auto& argument : node->Arguments) ResolveTree(argument.get());
}

void TNameResolver::ResolveOrderBy(TDataQuery& query) {
  if (query.OrderBy.size() > kMaxOrderByColumns) {
    const TExpToken& first = *query.OrderBy[kMaxOrderByColumns].Primary;
    errors_.Plain("Maximum number of ORDER BY columns (" + std::to_string(kMaxOrderByColumns) + ") exceeded",
                  first.Line, first.Column);
  }
  for (TOrderByField& item : query.OrderBy) item.ResultColumn = OrderByColumn(query, item);
}

// An ORDER BY item names a result column: by number, by table and source
// column, or by source column name or alias.
int TNameResolver::OrderByColumn(const TDataQuery& query, const TOrderByField& item) const {
  const TExpToken& primary = *item.Primary;
  const auto& fields = query.ResultFields;
  if (IsColumnNumber(primary)) {
    if (primary.Int < 1 || primary.Int > static_cast<int64_t>(fields.size())) {
      errors_.Expected("column number", item.Text, primary.Line, primary.Column);
    }
    return static_cast<int>(primary.Int);
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const TResultField& field = fields[i];
    bool sourceMatches = !field.IsExpression && SameName(field.SourceColumnName, primary.ColumnName);
    bool matches = primary.Qualifier.empty()
                       ? sourceMatches || (!field.Alias.empty() && SameName(field.Alias, primary.ColumnName))
                       : sourceMatches && SameName(field.CorrelationName, primary.Qualifier);
    if (matches) return static_cast<int>(i) + 1;
  }
  RaiseUnknown(primary);
}

const TNameResolver::TTableColumns* TNameResolver::TableNamed(const std::string& correlationName) const {
  for (const TTableColumns& table : tables_) {
    if (SameName(table.Table->CorrelationName, correlationName)) return &table;
  }
  return nullptr;
}

TNameResolver::TFound TNameResolver::Find(const TExpToken& node) const {
  auto search = [&node](const TTableColumns& table) -> TFound {
    for (const TSourceColumn& column : table.Columns) {
      if (SameName(column.Name, node.ColumnName)) return {&table, column};
    }
    for (const TSourceColumn& column : kHiddenColumns) {
      if (SameName(column.Name, node.ColumnName)) return {&table, column};
    }
    return {};
  };
  if (!node.Qualifier.empty()) {
    const TTableColumns* table = TableNamed(node.Qualifier);
    return table == nullptr ? TFound{} : search(*table);
  }
  for (const TTableColumns& table : tables_) {
    TFound found = search(table);
    if (found.Table != nullptr) return found;
  }
  return {};
}

void TNameResolver::RaiseUnknown(const TExpToken& node) const {
  errors_.Expected("column name", node.Text, node.Line, node.Column);
}

}  // namespace keel
