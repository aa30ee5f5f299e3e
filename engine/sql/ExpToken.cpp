#include "engine/sql/ExpToken.h"

#include <utility>

namespace keel {

std::unique_ptr<TExpToken> TExpToken::Clone() const {
  auto copy = std::make_unique<TExpToken>();
  copy->Text = Text;
  copy->Kind = Kind;
  copy->Operator = Operator;
  copy->Function = Function;
  copy->FunctionName = FunctionName;
  copy->Modifier = Modifier;
  copy->CopyValueFrom(*this);
  if (Left) copy->Left = Left->Clone();
  if (Right) copy->Right = Right->Clone();
  for (const auto& argument : Arguments) copy->Arguments.push_back(argument->Clone());
  copy->ColumnName = ColumnName;
  copy->Qualifier = Qualifier;
  copy->FieldNumber = FieldNumber;
  copy->SourceNumber = SourceNumber;
  copy->IsParameter = IsParameter;
  copy->Line = Line;
  copy->Column = Column;
  copy->Height = Height;
  copy->CaseInsensitive = CaseInsensitive;
  copy->PartialLength = PartialLength;
  copy->SubQuery = SubQuery;
  return copy;
}

void TExpToken::ClearValue() {
  Null = true;
  Int = 0;
  Real = 0;
  Str.clear();
}

void TExpToken::SetBoolean(bool value) {
  ClearValue();
  Type = FieldType::Boolean;
  Null = false;
  Int = value ? 1 : 0;
}

void TExpToken::SetInteger(FieldType type, int64_t value) {
  ClearValue();
  Type = type;
  Null = false;
  Int = value;
}

void TExpToken::SetReal(FieldType type, double value) {
  ClearValue();
  Type = type;
  Null = false;
  Real = value;
}

void TExpToken::SetText(FieldType type, std::string value) {
  ClearValue();
  Type = type;
  Null = false;
  Str = std::move(value);
}

void TExpToken::CopyTypeFrom(const TExpToken& other) {
  Type = other.Type;
  Subtype = other.Subtype;
  Size = other.Size;
  Decimals = other.Decimals;
}

void TExpToken::CopyValueFrom(const TExpToken& other) {
  CopyTypeFrom(other);
  Null = other.Null;
  Int = other.Int;
  Real = other.Real;
  Str = other.Str;
}

}  // namespace keel
