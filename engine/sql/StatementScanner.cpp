#include "engine/sql/StatementScanner.h"

#include <utility>

namespace keel {

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

bool IsLineBreak(unsigned char c) {
  return c == kCR || c == kLF;
}

// Letters, digits, "_", "!", "$", "@" and the bytes 128..254.
bool IsParameterNameChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '!' ||
         c == '$' || c == '@' || (c >= 128 && c <= 254);
}

}  // namespace

TStatementScanner::TStatementScanner(std::string text) : text_(std::move(text)) {}

void TStatementScanner::SetText(std::string text) {
  text_ = std::move(text);
  Rewind();
}

void TStatementScanner::Rewind() {
  position_ = 0;
  line_ = 1;
  column_ = 1;
}

void TStatementScanner::RewindTo(const TScannedStatement& statement) {
  position_ = statement.Start;
  line_ = statement.FirstLine;
  column_ = statement.FirstColumn;
}

unsigned char TStatementScanner::At(size_t offset) const {
  return offset < text_.size() ? static_cast<unsigned char>(text_[offset]) : 0;
}

void TStatementScanner::Take(std::string* out) {
  char c = text_[position_];
  size_t length = (c == kCR && At(position_ + 1) == kLF) ? 2 : 1;
  if (out != nullptr) out->append(text_, position_, length);
  position_ += length;
  if (IsLineBreak(static_cast<unsigned char>(c))) {
    ++line_;
    column_ = 1;
  } else {
    ++column_;
  }
}

void TStatementScanner::TakeLineBreakAware(std::string& out, char replacement) {
  if (IsLineBreak(At(position_))) {
    Take(&out);
  } else {
    Take(nullptr);
    out += replacement;
  }
}

bool TStatementScanner::AtComment() const {
  return (At(position_) == '-' && At(position_ + 1) == '-') ||
         (At(position_) == '/' && At(position_ + 1) == '*');
}

void TStatementScanner::CopyLineComment(std::string& out) {
  while (position_ < text_.size() && !IsLineBreak(At(position_))) Take(&out);
}

void TStatementScanner::CopyBlockComment(std::string& out) {
  Take(&out);
  Take(&out);
  while (position_ < text_.size()) {
    if (At(position_) == '*' && At(position_ + 1) == '/') {
      Take(&out);
      Take(&out);
      return;
    }
    Take(&out);
  }
}

void TStatementScanner::CopyQuoted(std::string& out) {
  unsigned char quote = At(position_);
  Take(&out);
  while (position_ < text_.size()) {
    bool closing = At(position_) == quote;
    Take(&out);
    if (!closing) continue;
    if (At(position_) != quote) return;
    Take(&out);  // a doubled quote stays inside the run
  }
}

void TStatementScanner::CopyBracketed(std::string& out) {
  while (position_ < text_.size()) {
    bool closing = At(position_) == ']';
    Take(&out);
    if (closing) return;
  }
}

void TStatementScanner::ReplaceParameter(TScannedStatement& statement) {
  Take(nullptr);
  statement.Text += '?';
  std::string name;
  unsigned char opening = At(position_);
  if (opening == '"') {
    TakeLineBreakAware(statement.Text, ' ');
    while (position_ < text_.size()) {
      unsigned char c = At(position_);
      TakeLineBreakAware(statement.Text, ' ');
      if (c == '"' && At(position_) != '"') break;
      if (c == '"') TakeLineBreakAware(statement.Text, ' ');  // "" stands for one "
      name += static_cast<char>(c);
    }
  } else if (opening == '[') {
    TakeLineBreakAware(statement.Text, ' ');
    while (position_ < text_.size()) {
      unsigned char c = At(position_);
      TakeLineBreakAware(statement.Text, ' ');
      if (c == ']') break;
      name += static_cast<char>(c);
    }
  } else {
    while (IsParameterNameChar(At(position_))) {
      name += static_cast<char>(At(position_));
      TakeLineBreakAware(statement.Text, ' ');
    }
  }
  if (!name.empty()) statement.ParameterNames.push_back(std::move(name));
}

size_t TStatementScanner::EndOfBlanksAndComments(size_t from) const {
  size_t end = from;
  while (end < text_.size()) {
    if (At(end) < 33) {
      ++end;
    } else if (At(end) == '-' && At(end + 1) == '-') {
      while (end < text_.size() && !IsLineBreak(At(end))) ++end;
    } else if (At(end) == '/' && At(end + 1) == '*') {
      size_t close = text_.find("*/", end + 2);
      end = close == std::string::npos ? text_.size() : close + 2;
    } else {
      break;
    }
  }
  return end;
}

void TStatementScanner::SkipBlanksAndComments() {
  size_t end = EndOfBlanksAndComments(position_);
  while (position_ < end) Take(nullptr);
}

bool TStatementScanner::AtEnd() const {
  return EndOfBlanksAndComments(position_) >= text_.size();
}

TScannedStatement TStatementScanner::Next() {
  TScannedStatement statement;
  statement.Start = position_;
  statement.FirstLine = line_;
  statement.FirstColumn = column_;
  bool hasContent = false;
  while (position_ < text_.size()) {
    unsigned char c = At(position_);
    if (c == ';') {
      Take(nullptr);
      SkipBlanksAndComments();
      break;
    }
    if (c < 33) {
      Take(&statement.Text);
      continue;
    }
    if (AtComment()) {
      if (c == '-') {
        CopyLineComment(statement.Text);
      } else {
        CopyBlockComment(statement.Text);
      }
      continue;
    }
    hasContent = true;
    if (c == '\'' || c == '"') {
      CopyQuoted(statement.Text);
    } else if (c == '[') {
      CopyBracketed(statement.Text);
    } else if (c == ':') {
      ReplaceParameter(statement);
    } else {
      Take(&statement.Text);
    }
  }
  if (!hasContent) throw ENoSqlStatement();
  return statement;
}

}  // namespace keel
