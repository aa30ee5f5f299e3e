#pragma once

// Cuts a query component's SQL text (its lines joined with line breaks) into
// statements at each unquoted ";", and replaces the ":name" parameters of
// each statement by "?" markers. Quotes, bracketed names and comments are
// copied untouched, so a ";" or ":" inside them is plain text.
//
// Each statement remembers the line and column of its first character in
// the whole text; the parser starts counting from there, so every message
// points into the text the user wrote. For the same reason a parameter is
// replaced by "?" followed by one blank per further character it took up
// (line breaks inside a quoted parameter name are kept): the columns of the
// tokens after it stay those of the user's text.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace keel {

// A statement with nothing but blanks and comments in it. The query component
// reports it as its own database error; it is no engine error.
class ENoSqlStatement : public std::runtime_error {
 public:
  ENoSqlStatement() : std::runtime_error("No SQL statement available") {}
};

struct TScannedStatement {
  std::string Text;  // without its ";"
  int FirstLine = 1;
  int FirstColumn = 1;
  size_t Start = 0;                         // offset of the first character in the whole text
  std::vector<std::string> ParameterNames;  // named ":" parameters, in text order
};

class TStatementScanner {
 public:
  explicit TStatementScanner(std::string text = {});

  // A changed text restarts the scan at line 1, column 1.
  void SetText(std::string text);
  void Rewind();
  // Back to the first character of `statement`, to run it again.
  void RewindTo(const TScannedStatement& statement);

  // Nothing but blanks and comments follow the last statement.
  bool AtEnd() const;

  // The statement at the scan position; the scan moves past its ";" and the
  // blanks and comments after it. Raises ENoSqlStatement for an empty one.
  TScannedStatement Next();

 private:
  unsigned char At(size_t offset) const;
  // Moves one character (a CR LF pair counts as one) into `out`, or past it
  // when `out` is null, counting lines and columns.
  void Take(std::string* out);
  void TakeLineBreakAware(std::string& out, char replacement);
  void CopyLineComment(std::string& out);
  void CopyBlockComment(std::string& out);
  void CopyQuoted(std::string& out);
  void CopyBracketed(std::string& out);
  void ReplaceParameter(TScannedStatement& statement);
  bool AtComment() const;
  size_t EndOfBlanksAndComments(size_t from) const;
  void SkipBlanksAndComments();

  std::string text_;
  size_t position_ = 0;
  int line_ = 1;
  int column_ = 1;
};

}  // namespace keel
