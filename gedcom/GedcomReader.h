#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gedcom/GedcomCharset.h"
#include "gedcom/GedcomDate.h"
#include "gedcom/GedcomLine.h"
#include "gedcom/GedcomTree.h"

namespace mindrel {

// Reads the people and couples of a GEDCOM 5.5 or 5.5.1 file from its bytes.
//
// The character set is the one a byte-order mark shows (UTF-8, UTF-16 either
// way round), else the header's CHAR, else ANSEL. Lines may end in CR, LF,
// CR LF or LF CR, may start with blanks and may be longer than the 255
// characters the format allows; CONC and CONT lines are joined to the line
// they continue.
//
// A person's or family's code is the number in its cross-reference
// (@I42@ gives 42) when the cross-reference is letters and then at most nine
// digits and no other record of its kind has the same number; otherwise a
// hash of the cross-reference from 1,000,000,000 on. So a code stays the same
// across re-reads and across edits that keep the cross-reference.
class TGedcomReader {
 public:
  // Throws EGedcomError naming `fileName` and the line at fault for: a file
  // that does not begin with 0 HEAD, an unknown character set, a line that is
  // no GEDCOM line, a level that jumps by more than one, text that is no
  // well-formed UTF-8 in a UTF-8 file, a cross-reference used twice, a
  // person or family without one, a HUSB or WIFE that points to no person,
  // and a file that ends before 0 TRLR. CHIL, FAMC and FAMS lines that point
  // nowhere are only counted: the file's events stay readable.
  static TGedcomTree Read(std::string_view bytes, const std::string& fileName);

  // The bytes (the whole file or its beginning) start with the line 0 HEAD.
  static bool StartsWithHead(std::string_view bytes);

 private:
  // One line of a person or family record, its CONC and CONT lines joined.
  struct TRecordLine {
    int Level = 0;
    std::string_view Tag;
    std::string Value;  // still in the file's character set
    int Number = 0;
  };
  struct TPendingPartner {
    std::uint32_t Family;
    bool Husband;
    std::string Xref;
    int Number;
  };
  // A CHIL, FAMC or FAMS line, resolved once every record is known.
  struct TPendingKin {
    enum Kind : std::uint8_t { kChild, kChildOf, kPartnerIn } What;
    std::uint32_t Row;  // the family of a CHIL line, the person of the others
    std::string Xref;
  };

  TGedcomReader(std::string_view bytes, std::string fileName);
  TGedcomTree ReadAll();

  // The next line and its number; false at the end of the text.
  bool NextLine(std::string_view& line);
  [[noreturn]] void Fail(int lineNumber, const std::string& reason) const;
  void TakeLine(const TGedcomLine& line);
  void TakeHeaderLine(const TGedcomLine& line);
  void EndRecord();
  void ReadPerson();
  void ReadFamily();
  std::string Text(const TRecordLine& line) const;
  // The DATE (and the TYPE, PLAC and NOTE) under the event line at `at`.
  struct TEventDetails {
    std::optional<TGedcomDate> Date;
    std::string DateText;
    std::string Type;
    std::string Place;
    bool AfterSunset = false;
  };
  TEventDetails Details(std::size_t at) const;
  // Adds the event's date unless the record has one in that column already.
  void AddDate(const std::string& column, bool family, std::uint32_t row, const TEventDetails& details,
               std::vector<std::uint32_t>& taken);
  void ResolvePartners();
  void ResolveKin();
  void AssignCodes();

  std::string_view text_;
  std::string converted_;  // the UTF-8 form of a UTF-16 file
  std::string fileName_;
  std::size_t position_ = 0;
  int lineNumber_ = 0;
  int previousLevel_ = -1;
  std::optional<TGedcomCharset::Kind> charset_;  // known once the header has ended
  bool charsetFromMark_ = false;
  bool inHeader_ = false;
  bool ended_ = false;

  std::string_view recordTag_;
  std::string recordXref_;
  int recordLine_ = 0;
  std::vector<TRecordLine> record_;
  bool collecting_ = false;

  TGedcomTree tree_;
  std::unordered_map<std::string, std::uint32_t> personByXref_;
  std::unordered_map<std::string, std::uint32_t> familyByXref_;
  std::unordered_map<std::string, std::uint32_t> columnByName_;
  std::vector<TPendingPartner> partners_;
  std::vector<TPendingKin> kin_;
};

}  // namespace mindrel
