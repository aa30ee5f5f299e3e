#include "gedcom/AnselDecoder.h"

#include <array>
#include <cstdint>

#include "gedcom/GedcomCharset.h"
#include "platform/LocaleText.h"

namespace mindrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr unsigned char kFirstDiacritic = 0xE0;

// Code points of the bytes 0xA0..0xFF; 0 where ANSEL defines nothing. The
// extensions of the GEDCOM format (empty and black box, midline e and o, es
// zet at 0xCF) sit beside the later ones (es zet at 0xC7, euro at 0xC8).
constexpr std::array<char32_t, 96> kUpperHalf = {
    // 0xA0
    0, 0x0141, 0x00D8, 0x0110, 0x00DE, 0x00C6, 0x0152, 0x02B9, 0x00B7, 0x266D, 0x00AE, 0x00B1, 0x01A0, 0x01AF,
    0x02BC, 0,
    // 0xB0
    0x02BB, 0x0142, 0x00F8, 0x0111, 0x00FE, 0x00E6, 0x0153, 0x02BA, 0x0131, 0x00A3, 0x00F0, 0, 0x01A1, 0x01B0,
    0x25A1, 0x25A0,
    // 0xC0
    0x00B0, 0x2113, 0x2117, 0x00A9, 0x266F, 0x00BF, 0x00A1, 0x00DF, 0x20AC, 0, 0, 0, 0, 0x0065, 0x006F, 0x00DF,
    // 0xD0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xE0: combining marks
    0x0309, 0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0306, 0x0307, 0x0308, 0x030C, 0x030A, 0xFE20, 0xFE21, 0x0315,
    0x030B, 0x0310,
    // 0xF0
    0x0327, 0x0328, 0x0323, 0x0324, 0x0325, 0x0333, 0x0332, 0x0326, 0x031C, 0x032E, 0xFE22, 0xFE23, 0, 0, 0x0313, 0};

char32_t UpperHalf(unsigned char byte) {
  const char32_t code = byte >= 0xA0 ? kUpperHalf[byte - 0xA0u] : 0;
  return code == 0 ? kReplacement : code;
}

}  // namespace

std::string TAnselDecoder::ToUtf8(std::string_view ansel) {
  std::string out;
  out.reserve(ansel.size());
  std::u32string pendingMarks;  // diacritics waiting for their letter
  bool marked = false;
  for (const char c : ansel) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= kFirstDiacritic && UpperHalf(byte) != kReplacement) {
      pendingMarks.push_back(UpperHalf(byte));
      marked = true;
      continue;
    }
    TGedcomCharset::AppendUtf8(out, byte < 0x80 ? byte : UpperHalf(byte));
    for (const char32_t mark : pendingMarks) TGedcomCharset::AppendUtf8(out, mark);
    pendingMarks.clear();
  }
  // Marks at the end of the text have no letter; they are kept on their own.
  for (const char32_t mark : pendingMarks) TGedcomCharset::AppendUtf8(out, mark);
  return marked ? ComposedUtf8(out) : out;
}

}  // namespace mindrel
