#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mindrel {

// One person as the home person window lists them.
struct TDirectoryPerson {
  std::int32_t Code = 0;
  std::string Surname;  // UTF-8
  std::string FirstNames;
  std::optional<int> BirthYear;  // negative before Christ (1 BC is -1)
};

// The people of one source (a family-tree folder or a GEDCOM file), sorted
// by surname, first names and birth year, to be found by name as one types.
class TPersonDirectory {
 public:
  TPersonDirectory() = default;
  explicit TPersonDirectory(std::vector<TDirectoryPerson> people);

  // Reads the source; a source that cannot be read gives an empty directory
  // and a message saying why.
  static TPersonDirectory Load(const std::string& source);
  // The one person of that code, found through the people's index (a GEDCOM
  // file is read whole); nothing when the source has no such person or
  // cannot be read.
  static std::optional<TDirectoryPerson> Lookup(const std::string& source, std::int32_t code);

  const std::vector<TDirectoryPerson>& People() const { return people_; }
  const std::string& Message() const { return message_; }
  // nullptr when no person has the code.
  const TDirectoryPerson* ByCode(std::int32_t code) const;

  // The people for whom every word typed begins a word of their surname or
  // first names, without regard to case, in the directory's order; at most
  // `limit` of them. Nothing typed finds everyone.
  std::vector<const TDirectoryPerson*> Find(const std::string& typed, std::size_t limit) const;

  // "Garner, Francis (1944)"; without a year when none is known; "[P12] no
  // name" for a person without names.
  static std::string Label(const TDirectoryPerson& person);

 private:
  static TPersonDirectory LoadFolder(const std::string& folder);
  static TPersonDirectory LoadGedcom(const std::string& path);

  std::vector<TDirectoryPerson> people_;
  // Per person: the lower-cased words of surname and first names, each
  // preceded by a blank, so a word's start is found as " " + what was typed.
  std::vector<std::string> searchText_;
  std::string message_;
};

}  // namespace mindrel
