#include "gedcom/GedcomReader.h"

#include <algorithm>
#include <cctype>

#include "gedcom/EventTags.h"
#include "gedcom/GedcomDate.h"
#include "gedcom/GedcomError.h"

namespace mindrel {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
// Codes of cross-references that are no plain number start here.
constexpr std::int32_t kHashedCodeBase = 1'000'000'000;
constexpr std::int32_t kMaxNumberedCode = 999'999'999;

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A note such as "died after sunset": the Hebrew day had already turned.
bool SaysAfterSunset(std::string note) {
  std::transform(note.begin(), note.end(), note.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return note.find("after sunset") != std::string::npos;
}

// The number of a cross-reference like @I42@; nothing for other forms.
std::optional<std::int32_t> XrefNumber(std::string_view xref) {
  std::string_view inner = xref.substr(1, xref.size() - 2);
  std::size_t letters = 0;
  while (letters < inner.size() && std::isalpha(static_cast<unsigned char>(inner[letters]))) ++letters;
  const std::string_view digits = inner.substr(letters);
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::int32_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > kMaxNumberedCode) return std::nullopt;
  return number;
}

std::int32_t HashedCode(std::string_view xref) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : xref) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return kHashedCodeBase + static_cast<std::int32_t>(hash % static_cast<std::uint32_t>(INT32_MAX - kHashedCodeBase));
}

template <typename Record>
void AssignCodesOf(std::vector<Record>& records) {
  std::unordered_map<std::int32_t, int> uses;
  for (const Record& record : records) {
    if (const auto number = XrefNumber(record.Xref)) ++uses[*number];
  }
  for (Record& record : records) {
    const auto number = XrefNumber(record.Xref);
    record.Code = number && uses[*number] == 1 ? *number : HashedCode(record.Xref);
  }
}

}  // namespace

TGedcomReader::TGedcomReader(std::string_view bytes, std::string fileName)
    : text_(bytes), fileName_(std::move(fileName)) {}

TGedcomTree TGedcomReader::Read(std::string_view bytes, const std::string& fileName) {
  return TGedcomReader(bytes, fileName).ReadAll();
}

void TGedcomReader::Fail(int lineNumber, const std::string& reason) const {
  throw EGedcomError(fileName_, lineNumber, reason);
}

bool TGedcomReader::StartsWithHead(std::string_view bytes) {
  std::string converted;
  if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
    // The first line is enough: cut the text after its first line end.
    const bool bigEndian = bytes.starts_with(kUtf16BeMark);
    std::size_t end = 2;
    while (end + 1 < bytes.size() && bytes[end + (bigEndian ? 0 : 1)] == 0 && bytes[end + (bigEndian ? 1 : 0)] != '\n' &&
           bytes[end + (bigEndian ? 1 : 0)] != '\r') {
      end += 2;
    }
    if (!TGedcomCharset::Utf16ToUtf8(bytes.substr(2, end - 2), bigEndian, converted)) return false;
    bytes = converted;
  } else if (bytes.starts_with(kUtf8Mark)) {
    bytes.remove_prefix(kUtf8Mark.size());
  }
  const std::size_t end = bytes.find_first_of("\r\n");
  TGedcomLine line;
  return TGedcomLine::Parse(bytes.substr(0, end), line) && line.Level == 0 && line.Tag == "HEAD";
}

bool TGedcomReader::NextLine(std::string_view& line) {
  if (position_ >= text_.size()) return false;
  const std::size_t end = std::min(text_.find_first_of("\r\n", position_), text_.size());
  line = text_.substr(position_, end - position_);
  position_ = end;
  if (position_ < text_.size()) {
    const char first = text_[position_++];
    // CR LF and LF CR are one line end each.
    if (position_ < text_.size() && text_[position_] != first &&
        (text_[position_] == '\r' || text_[position_] == '\n')) {
      ++position_;
    }
  }
  ++lineNumber_;
  return true;
}

TGedcomTree TGedcomReader::ReadAll() {
  if (text_.starts_with(kUtf16LeMark) || text_.starts_with(kUtf16BeMark)) {
    if (!TGedcomCharset::Utf16ToUtf8(text_.substr(2), text_.starts_with(kUtf16BeMark), converted_))
      Fail(0, "the UTF-16 text is damaged (a lone surrogate or an odd number of bytes)");
    text_ = converted_;
    charset_ = TGedcomCharset::Kind::Utf8;
    charsetFromMark_ = true;
  } else if (text_.starts_with(kUtf8Mark)) {
    text_.remove_prefix(kUtf8Mark.size());
    charset_ = TGedcomCharset::Kind::Utf8;
    charsetFromMark_ = true;
  } else if (text_.size() >= 2 && (text_[0] == 0 || text_[1] == 0)) {
    Fail(1, "UTF-16 text without a byte-order mark");
  }
  std::string_view text;
  while (!ended_ && NextLine(text)) {
    if (TrimBlanks(text).empty()) continue;
    TGedcomLine line;
    if (!TGedcomLine::Parse(text, line)) Fail(lineNumber_, "this is no GEDCOM line (level, tag and value)");
    TakeLine(line);
  }
  if (previousLevel_ < 0) Fail(0, "the file is empty");
  if (!ended_) Fail(lineNumber_ + 1, "the file ends before its last line \"0 TRLR\"; it may have been cut short");
  ResolvePartners();
  ResolveKin();
  AssignCodes();
  return std::move(tree_);
}

void TGedcomReader::TakeLine(const TGedcomLine& line) {
  if (previousLevel_ < 0 && (line.Level != 0 || line.Tag != "HEAD"))
    Fail(lineNumber_, "the file does not begin with \"0 HEAD\"");
  if (line.Level > previousLevel_ + 1)
    Fail(lineNumber_, "the level jumps from " + std::to_string(previousLevel_) + " to " + std::to_string(line.Level));
  previousLevel_ = line.Level;
  const bool continuation = line.Tag == "CONC" || line.Tag == "CONT";
  if (line.Level == 0) {
    if (continuation) Fail(lineNumber_, "a CONC or CONT line at level 0 continues nothing");
    EndRecord();
    inHeader_ = recordTag_.empty();  // the first record, which is HEAD
    recordTag_ = line.Tag;
    recordXref_ = std::string(line.Xref);
    recordLine_ = lineNumber_;
    collecting_ = line.Tag == "INDI" || line.Tag == "FAM";
    if (line.Tag == "TRLR") ended_ = true;
    if (collecting_) record_.push_back({0, line.Tag, std::string(line.Value), lineNumber_});
    return;
  }
  if (inHeader_) TakeHeaderLine(line);
  if (!collecting_) return;
  if (continuation) {
    TRecordLine& owner = record_.back();
    if (line.Level != owner.Level + 1) Fail(lineNumber_, "a CONC or CONT line must stand one level below its line");
    if (line.Tag == "CONT") owner.Value += '\n';
    owner.Value += line.Value;
    // The continuation belongs to its owner: the next line may go on at the
    // owner's level + 1 again.
    return;
  }
  record_.push_back({line.Level, line.Tag, std::string(line.Value), lineNumber_});
}

void TGedcomReader::TakeHeaderLine(const TGedcomLine& line) {
  if (line.Level != 1 || line.Tag != "CHAR") return;
  const std::optional<TGedcomCharset::Kind> declared = TGedcomCharset::FromName(TrimBlanks(line.Value));
  if (charsetFromMark_) return;  // the bytes themselves say what they are
  if (!declared) Fail(lineNumber_, "the character set \"" + std::string(TrimBlanks(line.Value)) + "\" is unknown");
  charset_ = declared;
}

void TGedcomReader::EndRecord() {
  // Without a CHAR line in the header the text is ANSEL.
  if (inHeader_ && !charset_) charset_ = TGedcomCharset::Kind::Ansel;
  inHeader_ = false;
  if (!collecting_) return;
  if (recordXref_.empty())
    Fail(recordLine_, std::string(recordTag_ == "INDI" ? "a person" : "a family") + " without a cross-reference");
  if (recordTag_ == "INDI") {
    ReadPerson();
  } else {
    ReadFamily();
  }
  record_.clear();
  collecting_ = false;
}

std::string TGedcomReader::Text(const TRecordLine& line) const {
  std::string out;
  if (!TGedcomCharset::ToUtf8(*charset_, line.Value, out)) Fail(line.Number, "the text is no well-formed UTF-8");
  return out;
}

TGedcomReader::TEventDetails TGedcomReader::Details(std::size_t at) const {
  TEventDetails details;
  const int level = record_[at].Level;
  for (std::size_t i = at + 1; i < record_.size() && record_[i].Level > level; ++i) {
    if (record_[i].Level != level + 1) continue;
    const std::string_view tag = record_[i].Tag;
    if (tag == "DATE" && !details.Date) {
      details.DateText = std::string(TrimBlanks(Text(record_[i])));
      if (!details.DateText.empty()) details.Date = TGedcomDate::Read(details.DateText);
    } else if (tag == "NOTE") {
      details.AfterSunset = details.AfterSunset || SaysAfterSunset(Text(record_[i]));
    } else if (tag == "TYPE" && details.Type.empty()) {
      details.Type = std::string(TrimBlanks(Text(record_[i])));
    } else if (tag == "PLAC" && details.Place.empty()) {
      details.Place = std::string(TrimBlanks(Text(record_[i])));
    }
  }
  return details;
}

void TGedcomReader::AddDate(const std::string& column, bool family, std::uint32_t row,
                            const TEventDetails& details, std::vector<std::uint32_t>& taken) {
  auto [found, added] = columnByName_.try_emplace(column, static_cast<std::uint32_t>(tree_.Columns.size()));
  if (added) tree_.Columns.push_back({column, {}, {}});
  if (std::find(taken.begin(), taken.end(), found->second) != taken.end()) return;
  taken.push_back(found->second);
  auto& rows = family ? tree_.Columns[found->second].Families : tree_.Columns[found->second].People;
  rows.push_back({row, details.Date->Date, details.Date->Hebrew, details.AfterSunset});
}

void TGedcomReader::ReadPerson() {
  const auto row = static_cast<std::uint32_t>(tree_.People.size());
  if (!personByXref_.try_emplace(recordXref_, row).second)
    Fail(recordLine_, "the cross-reference " + recordXref_ + " is used twice");
  TGedcomPerson person;
  person.Xref = recordXref_;
  bool named = false;
  std::vector<std::uint32_t> taken;
  for (std::size_t i = 1; i < record_.size(); ++i) {
    if (record_[i].Level != 1) continue;
    const std::string_view tag = record_[i].Tag;
    if (tag == "NAME" && !named) {
      named = true;
      const std::string name = Text(record_[i]);
      const std::size_t slash = name.find('/');
      person.GivenNames = std::string(TrimBlanks(std::string_view(name).substr(0, slash)));
      if (slash != std::string::npos) {
        const std::size_t close = name.find('/', slash + 1);
        person.Surname = std::string(TrimBlanks(std::string_view(name).substr(
            slash + 1, close == std::string::npos ? std::string::npos : close - slash - 1)));
      }
      continue;
    }
    if (tag == "DEAT" || tag == "BURI") person.Dead = true;
    if (tag == "SEX") {
      const std::string_view sex = TrimBlanks(record_[i].Value);
      if (!sex.empty() && (sex[0] == 'M' || sex[0] == 'F')) person.Sex = sex[0];
      continue;
    }
    if (tag == "FAMC" || tag == "FAMS") {
      kin_.push_back({tag == "FAMC" ? TPendingKin::kChildOf : TPendingKin::kPartnerIn, row,
                      std::string(TrimBlanks(record_[i].Value))});
      continue;
    }
    const char* event = TEventTags::IndividualEvent(tag);
    if (event == nullptr && tag != "EVEN") continue;
    const TEventDetails details = Details(i);
    if (!details.Date) continue;
    const std::string column = event != nullptr ? event : details.Type.empty() ? "Event" : details.Type;
    if (column == TGedcomTree::kBirth && person.BirthText.empty()) {
      person.BirthText = details.DateText;
      person.BirthPlace = details.Place;
    }
    AddDate(column, false, row, details, taken);
  }
  tree_.People.push_back(std::move(person));
}

void TGedcomReader::ReadFamily() {
  const auto row = static_cast<std::uint32_t>(tree_.Families.size());
  if (!familyByXref_.try_emplace(recordXref_, row).second)
    Fail(recordLine_, "the cross-reference " + recordXref_ + " is used twice");
  TGedcomFamily family;
  family.Xref = recordXref_;
  std::vector<std::uint32_t> taken;
  for (std::size_t i = 1; i < record_.size(); ++i) {
    if (record_[i].Level != 1) continue;
    const std::string_view tag = record_[i].Tag;
    if (tag == "HUSB" || tag == "WIFE") {
      const std::string_view pointer = TrimBlanks(record_[i].Value);
      if (pointer.size() < 3 || pointer.front() != '@' || pointer.back() != '@')
        Fail(record_[i].Number, std::string(tag) + " does not point to a record");
      partners_.push_back({row, tag == "HUSB", std::string(pointer), record_[i].Number});
      continue;
    }
    if (tag == "CHIL") {
      kin_.push_back({TPendingKin::kChild, row, std::string(TrimBlanks(record_[i].Value))});
      continue;
    }
    const char* event = TEventTags::FamilyEvent(tag);
    if (event == nullptr && tag != "EVEN") continue;
    const TEventDetails details = Details(i);
    if (!details.Date) continue;
    AddDate(event != nullptr ? event : details.Type.empty() ? "Event" : details.Type, true, row, details, taken);
  }
  tree_.Families.push_back(std::move(family));
}

void TGedcomReader::ResolvePartners() {
  for (const TPendingPartner& partner : partners_) {
    const auto found = personByXref_.find(partner.Xref);
    if (found == personByXref_.end())
      Fail(partner.Number, "points to " + partner.Xref + ", but the file holds no person of that cross-reference");
    TGedcomFamily& family = tree_.Families[partner.Family];
    (partner.Husband ? family.Husband : family.Wife) = found->second;
  }
}

void TGedcomReader::ResolveKin() {
  for (const TPendingKin& link : kin_) {
    const auto& targets = link.What == TPendingKin::kChild ? personByXref_ : familyByXref_;
    const auto found = targets.find(link.Xref);
    if (found == targets.end()) {
      ++tree_.DanglingLinks;
      continue;
    }
    if (link.What == TPendingKin::kChild) {
      tree_.Families[link.Row].Children.push_back(found->second);
    } else {
      TGedcomPerson& person = tree_.People[link.Row];
      (link.What == TPendingKin::kChildOf ? person.ChildOf : person.PartnerIn).push_back(found->second);
    }
  }
}

void TGedcomReader::AssignCodes() {
  AssignCodesOf(tree_.People);
  AssignCodesOf(tree_.Families);
}

}  // namespace mindrel
