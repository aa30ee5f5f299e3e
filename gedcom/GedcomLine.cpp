#include "gedcom/GedcomLine.h"

namespace mindrel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsTagChar(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

void SkipBlanks(std::string_view text, std::size_t& at) {
  while (at < text.size() && text[at] == ' ') ++at;
}

}  // namespace

bool TGedcomLine::Parse(std::string_view text, TGedcomLine& line) {
  std::size_t at = 0;
  // Leading white space is allowed to make nesting visible.
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  const std::size_t levelStart = at;
  int level = 0;
  while (at < text.size() && IsDigit(text[at])) {
    level = level * 10 + (text[at++] - '0');
    if (level > kMaxLevel) return false;
  }
  if (at == levelStart || at == text.size() || text[at] != ' ') return false;
  SkipBlanks(text, at);
  std::string_view xref;
  if (at < text.size() && text[at] == '@') {
    const std::size_t close = text.find('@', at + 1);
    if (close == std::string_view::npos || close == at + 1) return false;
    xref = text.substr(at, close + 1 - at);
    at = close + 1;
    if (at == text.size() || text[at] != ' ') return false;
    SkipBlanks(text, at);
  }
  const std::size_t tagStart = at;
  while (at < text.size() && IsTagChar(text[at])) ++at;
  if (at == tagStart || (at < text.size() && text[at] != ' ')) return false;
  line.Level = level;
  line.Xref = xref;
  line.Tag = text.substr(tagStart, at - tagStart);
  line.Value = at < text.size() ? text.substr(at + 1) : std::string_view();
  return true;
}

}  // namespace mindrel
