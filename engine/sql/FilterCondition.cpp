#include "engine/sql/FilterCondition.h"

#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/sql/ExpTypes.h"
#include "engine/sql/RowAccessor.h"
#include "engine/sql/ValueConverter.h"

namespace keel {

namespace {

using Op = TExpOperator;
using FT = FieldType;

// Every column reads as NULL: tells whether rows with a NULL column pass.
class TNullRow : public TRowAccessor {
 public:
  void ReadColumn(TExpToken& column) const override { column.ClearValue(); }
};

bool IsComparison(Op op) {
  return op == Op::Equal || op == Op::NotEqual || op == Op::Less || op == Op::Greater ||
         op == Op::LessEqual || op == Op::GreaterEqual;
}

Op Mirrored(Op op) {
  switch (op) {
    case Op::Less:
      return Op::Greater;
    case Op::Greater:
      return Op::Less;
    case Op::LessEqual:
      return Op::GreaterEqual;
    case Op::GreaterEqual:
      return Op::LessEqual;
    default:
      return op;
  }
}

// A subtree whose value is the same for every record.
bool IsConstantTree(const TExpToken& node) {
  if (node.Kind == TNodeKind::Column || node.SubQuery || node.IsParameter) return false;
  if (node.Kind == TNodeKind::Function &&
      (node.Function == TExpFunction::Rand || node.Function == TExpFunction::CurrentGuid ||
       node.Function == TExpFunction::Registered || node.Function == TExpFunction::LastAutoInc ||
       node.Function == TExpFunction::IdentCurrent)) {
    return false;
  }
  if (node.Left && !IsConstantTree(*node.Left)) return false;
  if (node.Right && !IsConstantTree(*node.Right)) return false;
  for (const auto& argument : node.Arguments) {
    if (!IsConstantTree(*argument)) return false;
  }
  return true;
}

void StoreBigEndian(uint8_t* out, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

// The key forms of the index layer: sign bit inverted, doubles ordered.
void StoreSigned(uint8_t* out, int64_t value, size_t width) {
  StoreBigEndian(out, static_cast<uint64_t>(value) ^ (uint64_t{1} << (8 * width - 1)), width);
}

void StoreDouble(uint8_t* out, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bits = value >= 0 ? bits | (uint64_t{1} << 63) : ~bits;
  StoreBigEndian(out, bits, 8);
}

// The whole number a numeric constant stands for, when it is one exactly;
// reals only up to 2^53, where the evaluator's double comparison is exact.
std::optional<int64_t> WholeValue(const TExpToken& constant) {
  if (IsIntegerType(constant.Type) || constant.Type == FT::LargeInt) return constant.Int;
  if (!IsNumericType(constant.Type)) return std::nullopt;
  const double value = TValueConverter::AsDouble(constant);
  constexpr double kExact = 9007199254740992.0;  // 2^53
  if (!std::isfinite(value) || std::trunc(value) != value || std::fabs(value) > kExact) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace

bool TFilterCondition::IsConstant(const TExpToken& node) {
  return IsConstantTree(node);
}

std::optional<TFilterCondition> TFilterCondition::Recognise(TExpToken& node,
                                                            const std::vector<FieldDescriptor>& fields,
                                                            std::shared_ptr<const TCollation> collation,
                                                            const mindrel::Clock& clock) {
  TFilterCondition condition;
  condition.collation_ = collation;
  std::vector<TExpToken*> constants;
  TExpToken* subject = nullptr;
  if ((node.Kind == TNodeKind::BinaryOperator && IsComparison(node.Operator)) ||
      (node.Kind == TNodeKind::StringCompare)) {
    if (IsConstantTree(*node.Left) && !IsConstantTree(*node.Right)) {
      std::swap(node.Left, node.Right);
      node.Operator = Mirrored(node.Operator);
    }
    subject = node.Left.get();
    constants.push_back(node.Right.get());
    condition.stringCompare_ = node.Kind == TNodeKind::StringCompare;
    condition.partialLength_ = condition.stringCompare_ ? node.PartialLength : -1;
  } else if (node.Kind == TNodeKind::Predicate &&
             (node.Operator == Op::In || node.Operator == Op::NotIn || node.Operator == Op::Between ||
              node.Operator == Op::NotBetween) &&
             node.Arguments.size() >= 2) {
    subject = node.Arguments[0].get();
    for (size_t i = 1; i < node.Arguments.size(); ++i) constants.push_back(node.Arguments[i].get());
  } else {
    return std::nullopt;
  }
  condition.op_ = node.Operator;
  if (!condition.readSubject(*subject, fields)) return std::nullopt;
  TExpressionEvaluator evaluator(collation, clock);
  if (!condition.readConstants(std::move(constants), evaluator)) return std::nullopt;

  condition.ignoreCase_ = condition.stringCompare_ && node.CaseInsensitive;
  condition.caseInsensitive_ = condition.ignoreCase_ || condition.wrap_ != Wrap::None;
  // Case mapping of a string against a locale collation is not the per-byte
  // mapping of the keys; and LOWER keeps only = and <> exact.
  if (condition.caseInsensitive_ && !collation->isBytewise()) return std::nullopt;
  // Under a collation the values sharing a first part do not lie together in
  // key order ("ab" sorts between "A" and "Ab"), so no key range holds them.
  if (condition.partialLength_ >= 0 && !collation->isBytewise()) return std::nullopt;
  if (condition.wrap_ == Wrap::Lower && !condition.stringCompare_) return std::nullopt;
  if (condition.nullConstant_ && condition.op_ != Op::Equal && condition.op_ != Op::NotEqual)
    return std::nullopt;

  // IS NOT NULL is its own range: every non-NULL key.
  condition.complement_ =
      !condition.nullConstant_ &&
      (condition.op_ == Op::NotEqual || condition.op_ == Op::NotIn || condition.op_ == Op::NotBetween);
  TNullRow nullRow;
  evaluator.SetRowAccessor(&nullRow);
  try {
    condition.nullRowsPass_ = evaluator.Passes(node);
  } catch (const EKeelEngineError&) {
    return std::nullopt;
  }
  return condition;
}

bool TFilterCondition::readSubject(TExpToken& subject, const std::vector<FieldDescriptor>& fields) {
  TExpToken* column = &subject;
  if (subject.Kind == TNodeKind::Function &&
      (subject.Function == TExpFunction::Upper || subject.Function == TExpFunction::Lower) &&
      subject.Arguments.size() == 1) {
    wrap_ = subject.Function == TExpFunction::Upper ? Wrap::Upper : Wrap::Lower;
    column = subject.Arguments[0].get();
  }
  if (column->Kind != TNodeKind::Column || column->FieldNumber <= 0) return false;
  for (const FieldDescriptor& field : fields) {
    if (field.number != column->FieldNumber) continue;
    if (field.isBlob() || field.isSystem()) return false;
    if (wrap_ != Wrap::None && (field.type != FT::String || field.subtype == FieldSubtype::WideString))
      return false;
    field_ = &field;
    return true;
  }
  return false;
}

bool TFilterCondition::readConstants(std::vector<TExpToken*> constants,
                                     const TExpressionEvaluator& evaluator) {
  const bool between = op_ == Op::Between || op_ == Op::NotBetween;
  if (between && constants.size() != 2) return false;
  for (TExpToken* constant : constants) {
    if (!IsConstantTree(*constant)) return false;
    try {
      evaluator.Evaluate(*constant);
    } catch (const EKeelEngineError&) {
      // 1 / 0 and the like fail only if a record reaches them: evaluate then.
      return false;
    }
    auto value = std::make_unique<TExpToken>();
    value->CopyValueFrom(*constant);
    if (value->Null && (between || op_ == Op::In || op_ == Op::NotIn)) {
      // A NULL in a list matches NULL rows only, which the NULL-row test
      // decides; a NULL bound leaves BETWEEN to the evaluator.
      if (between) return false;
      continue;
    }
    nullConstant_ = nullConstant_ || value->Null;
    constants_.push_back(std::move(value));
  }
  return true;
}

bool TFilterCondition::answerableBy(const TIndexAccess& index) const {
  const IndexDescriptor& descriptor = index.descriptor();
  if (descriptor.fields.empty() || descriptor.fields[0].fieldNumber != field_->number) return false;
  if (field_->type == FT::String && descriptor.caseInsensitive != caseInsensitive_) return false;
  if (nullConstant_) return true;
  for (const auto& constant : constants_) {
    if (!placeOf(*constant, index)) return false;
  }
  return true;
}

std::optional<TFilterCondition::Place> TFilterCondition::textPlace(std::string text,
                                                                   const TIndexAccess& index) const {
  const KeySegment& segment = index.layout().segments()[0];
  if (segment.subtype == FieldSubtype::WideString) return std::nullopt;
  if (text.find('\0') != std::string::npos || text.size() >= segment.length) return std::nullopt;
  Place place;
  if (ignoreCase_) {
    collation_->toUpper(text);
  } else if (wrap_ != Wrap::None) {
    // UPPER(c) = 'x' or LOWER(c) = 'X' never holds; LOWER(c) = 'x' holds
    // exactly when UPPER(c) = 'X' (the single-byte pairs map both ways).
    std::string mapped = text;
    if (wrap_ == Wrap::Upper) collation_->toUpper(mapped);
    if (wrap_ == Wrap::Lower) collation_->toLower(mapped);
    if (mapped != text && (stringCompare_ || wrap_ == Wrap::Lower)) place.none = true;
    if (wrap_ == Wrap::Lower) collation_->toUpper(text);
  }
  place.low.assign(index.layout().keySize(), 0);
  place.low[0] = 1;
  std::copy(text.begin(), text.end(), place.low.begin() + 1);
  place.high = place.low;
  return place;
}

std::optional<TFilterCondition::Place> TFilterCondition::placeOf(const TExpToken& constant,
                                                                 const TIndexAccess& index) const {
  const KeySegment& segment = index.layout().segments()[0];
  if (segment.system) return std::nullopt;
  if (segment.type == FT::String) {
    if (!IsTextValue(constant)) return std::nullopt;
    return textPlace(constant.Str, index);
  }
  Place place;
  place.low.assign(index.layout().keySize(), 0);
  place.low[0] = 1;
  uint8_t* out = place.low.data() + 1;
  switch (segment.type) {
    case FT::SmallInt:
    case FT::Integer:
    case FT::Word:
    case FT::LargeInt: {
      if (constant.Type == FT::Boolean) return std::nullopt;  // compared by truth
      std::optional<int64_t> value = WholeValue(constant);
      if (!value) return std::nullopt;
      if (segment.type == FT::SmallInt && (*value < INT16_MIN || *value > INT16_MAX)) return std::nullopt;
      if (segment.type == FT::Integer && (*value < INT32_MIN || *value > INT32_MAX)) return std::nullopt;
      if (segment.type == FT::Word && (*value < 0 || *value > UINT16_MAX)) return std::nullopt;
      if (segment.type == FT::Word) {
        StoreBigEndian(out, static_cast<uint64_t>(*value), 2);
      } else {
        StoreSigned(out, *value, segment.length);
      }
      break;
    }
    case FT::Boolean: {
      // Booleans compare by truth: false is the value 0, true every other.
      if (constant.Type != FT::Boolean && !IsNumericType(constant.Type)) return std::nullopt;
      const bool truth = HoldsReal(constant.Type) ? constant.Real != 0 : constant.Int != 0;
      if (!truth) break;
      StoreBigEndian(out, 1, 2);
      place.high = place.low;
      StoreBigEndian(place.high.data() + 1, 0xFFFF, 2);
      return place;
    }
    case FT::Date:
    case FT::Time:
      if (constant.Type != segment.type) return std::nullopt;
      StoreSigned(out, constant.Int, 4);
      break;
    case FT::Float:
      if (constant.Type == FT::Boolean || !IsNumericType(constant.Type)) return std::nullopt;
      StoreDouble(out, TValueConverter::AsDouble(constant));
      break;
    case FT::Timestamp:
      if (constant.Type != FT::Timestamp && constant.Type != FT::Date) return std::nullopt;
      StoreDouble(out, TValueConverter::AsMsecs(constant));
      break;
    default:
      return std::nullopt;
  }
  place.high = place.low;
  return place;
}

TKeyRange TFilterCondition::NullKeys(const TIndexAccess& index) {
  TKeyBound bound{KeyBuffer(index.layout().keySize(), 0), 1, true};
  return {bound, bound};
}

TKeyRange TFilterCondition::NonNullKeys(const TIndexAccess& index) {
  TKeyBound bound{KeyBuffer(index.layout().keySize(), 0), 1, true};
  bound.key[0] = 1;
  return {bound, bound};
}

std::vector<TKeyRange> TFilterCondition::ranges(const TIndexAccess& index) const {
  std::vector<TKeyRange> result = valueRanges(index);
  if (index.layout().segments()[0].descending) {
    for (TKeyRange& range : result) std::swap(range.from, range.to);
  }
  return result;
}

// In the column's value order; NULL keys are never part of them.
std::vector<TKeyRange> TFilterCondition::valueRanges(const TIndexAccess& index) const {
  const TKeyBound any = NonNullKeys(index).from;
  if (nullConstant_) {
    if (op_ == Op::Equal) return {};
    return {{any, any}};
  }
  const size_t whole = index.layout().segments()[0].end();
  auto bound = [&](const KeyBuffer& key, bool inclusive) {
    const size_t length = partialLength_ >= 0 ? 1 + static_cast<size_t>(partialLength_) : whole;
    return TKeyBound{key, length, inclusive};
  };
  std::vector<Place> places;
  for (const auto& constant : constants_) places.push_back(*placeOf(*constant, index));
  std::vector<TKeyRange> result;
  switch (op_) {
    case Op::Equal:
    case Op::NotEqual:
    case Op::In:
    case Op::NotIn:
      for (const Place& place : places) {
        if (!place.none) result.push_back({bound(place.low, true), bound(place.high, true)});
      }
      return result;
    case Op::Less:
      return {{any, bound(places[0].low, false)}};
    case Op::LessEqual:
      return {{any, bound(places[0].high, true)}};
    case Op::Greater:
      return {{bound(places[0].high, false), any}};
    case Op::GreaterEqual:
      return {{bound(places[0].low, true), any}};
    case Op::Between:
    case Op::NotBetween:
      return {{bound(places[0].low, true), bound(places[1].high, true)}};
    default:
      return {};
  }
}

}  // namespace keel
