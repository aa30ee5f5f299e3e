#include "platform/ProfileFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "platform/ReplaceFile.h"

namespace mindrel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

// The key of a "name=value" line; empty for headers, comments and lines
// without a name.
std::string KeyOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return {};
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return {};
  return Trim(trimmed.substr(0, equals));
}

std::string ValueOf(const std::string& line) {
  const std::size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
}

// The name of a "[name]" header line, or false for any other line.
bool HeaderName(const std::string& line, std::string& name) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  const std::size_t close = trimmed.find(']');
  if (close == std::string::npos) return false;
  name = Trim(trimmed.substr(1, close - 1));
  return true;
}

std::string OnOneLine(std::string value) {
  std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return value;
}

bool IsBlankLine(const std::string& line) { return Trim(line).empty(); }

}  // namespace

TProfileFile::TProfileFile(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return;
  Parse(content.str());
}

void TProfileFile::Parse(const std::string& text) {
  std::size_t start = 0;
  static const std::string kByteOrderMark = "\xEF\xBB\xBF";
  if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) start = kByteOrderMark.size();
  sections_.push_back(Section{{}, false, {}});
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    std::string name;
    if (HeaderName(line, name)) {
      sections_.push_back(Section{name, true, {}});
    } else {
      sections_.back().lines.push_back(Line{line, KeyOf(line)});
    }
  }
  if (sections_.front().lines.empty()) sections_.erase(sections_.begin());
}

const TProfileFile::Section* TProfileFile::FindSection(const std::string& name) const {
  for (const Section& section : sections_) {
    if (section.hasHeader && SameText(section.name, name)) return &section;
  }
  return nullptr;
}

TProfileFile::Section* TProfileFile::FindSection(const std::string& name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const TProfileFile::Line* TProfileFile::FindKey(const Section& section, const std::string& key) {
  for (const Line& line : section.lines) {
    if (!line.key.empty() && SameText(line.key, key)) return &line;
  }
  return nullptr;
}

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const {
  const Section* found = FindSection(section);
  const Line* line = found ? FindKey(*found, key) : nullptr;
  return line ? Unquoted(ValueOf(line->text)) : defaultValue;
}

bool TProfileFile::HasKey(const std::string& section, const std::string& key) const {
  const Section* found = FindSection(section);
  return found != nullptr && FindKey(*found, key) != nullptr;
}

int TProfileFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  const std::string text = Trim(ReadString(section, key, {}));
  const bool signedText = !text.empty() && (text.front() == '-' || text.front() == '+');
  const std::string digits = signedText ? text.substr(1) : text;
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return defaultValue;
  }
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return defaultValue;
  return static_cast<int>(value);
}

std::vector<std::string> TProfileFile::ReadSectionValues(const std::string& section) const {
  std::vector<std::string> values;
  const Section* found = FindSection(section);
  if (!found) return values;
  for (const Line& line : found->lines) {
    const std::string trimmed = Trim(line.text);
    if (!trimmed.empty() && trimmed.front() != ';') values.push_back(trimmed);
  }
  return values;
}

void TProfileFile::WriteString(const std::string& section, const std::string& rawKey, const std::string& value) {
  const std::string key = Trim(rawKey);
  const std::string text = key + "=" + OnOneLine(value);
  Section* found = FindSection(section);
  if (!found) {
    sections_.push_back(Section{section, true, {}});
    found = &sections_.back();
  }
  for (Line& line : found->lines) {
    if (!line.key.empty() && SameText(line.key, key)) {
      line.text = text;
      return;
    }
  }
  // After the section's last non-blank line, so the blank lines that part it
  // from the next section stay where they are.
  auto insertAt = found->lines.end();
  while (insertAt != found->lines.begin() && IsBlankLine(std::prev(insertAt)->text)) --insertAt;
  found->lines.insert(insertAt, Line{text, key});
}

void TProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TProfileFile::EraseSection(const std::string& section) {
  std::erase_if(sections_, [&](const Section& s) { return s.hasHeader && SameText(s.name, section); });
}

void TProfileFile::DeleteKey(const std::string& section, const std::string& key) {
  for (Section& found : sections_) {
    if (!found.hasHeader || !SameText(found.name, section)) continue;
    std::erase_if(found.lines, [&](const Line& line) { return !line.key.empty() && SameText(line.key, key); });
  }
}

std::string TProfileFile::Text() const {
  std::string text;
  for (const Section& section : sections_) {
    if (section.hasHeader) text += "[" + section.name + "]\n";
    for (const Line& line : section.lines) text += line.text + "\n";
  }
  return text;
}

bool TProfileFile::UpdateFile() const {
  return ReplaceFile(path_, Text());
}

}  // namespace mindrel
