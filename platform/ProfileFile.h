#pragma once

#include <string>
#include <vector>

namespace mindrel {

// A profile ("INI") file of sections and name=value lines, UTF-8.
//
// Contract, as the settings code relies on it:
//  - section and key names compare without regard to ASCII case;
//  - reads return the default when the section or the key is missing;
//  - values lose outer blanks; a value enclosed in double quotes is returned
//    without them, so blanks inside the quotes survive;
//  - an integer read gives the default unless the whole value is a decimal
//    integer that fits in 32 bits;
//  - writing replaces the value in place or appends the key (and the section);
//  - every line the program does not touch (unknown keys, comments, blank
//    lines) is kept as it was.
// Changes live in memory until UpdateFile writes the whole file back.
class TProfileFile {
 public:
  // Reads the file; a missing or unreadable file reads as empty.
  explicit TProfileFile(std::string path);

  const std::string& Path() const { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  bool HasKey(const std::string& section, const std::string& key) const;
  // The section's lines in file order, each as written ("name=value" for keys),
  // blank and comment lines left out. Empty for a missing section.
  std::vector<std::string> ReadSectionValues(const std::string& section) const;

  // Line breaks inside the value are written as blanks, so that one value
  // can never become several lines.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  // Removes every section of that name with all its lines.
  void EraseSection(const std::string& section);
  // Removes the key's lines from every section of that name; the other
  // lines stay.
  void DeleteKey(const std::string& section, const std::string& key);

  // Writes the whole file (through a temporary file and a rename, so a failed
  // write leaves the old file whole). False when the file cannot be written.
  bool UpdateFile() const;

  // The file's text as UpdateFile would write it.
  std::string Text() const;

 private:
  struct Line {
    std::string text;  // as read or as last written
    std::string key;   // empty for lines that hold no key
  };
  struct Section {
    std::string name;
    bool hasHeader = true;  // false only for the lines before the first header
    std::vector<Line> lines;
  };

  void Parse(const std::string& text);
  const Section* FindSection(const std::string& name) const;
  Section* FindSection(const std::string& name);
  static const Line* FindKey(const Section& section, const std::string& key);

  std::string path_;
  std::vector<Section> sections_;
};

}  // namespace mindrel
