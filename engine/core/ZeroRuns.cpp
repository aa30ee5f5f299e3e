#include "engine/core/ZeroRuns.h"

#include <algorithm>
#include <cstring>

namespace keel {

namespace {

void Put16(uint8_t*& out, size_t n) {
  out[0] = static_cast<uint8_t>(n & 0xFF);
  out[1] = static_cast<uint8_t>(n >> 8);
  out += 2;
}

size_t Get16(const uint8_t*& in) {
  const size_t n = in[0] | (static_cast<size_t>(in[1]) << 8);
  in += 2;
  return n;
}

// Zero runs are skipped many bytes at a time.
const uint8_t* SkipZeros(const uint8_t* at, const uint8_t* end) {
  uint64_t words[4];
  while (at + sizeof words <= end) {
    std::memcpy(words, at, sizeof words);
    if ((words[0] | words[1] | words[2] | words[3]) != 0) break;
    at += sizeof words;
  }
  while (at < end && *at == 0) ++at;
  return at;
}

// Where the next zero run worth its four bytes of counts starts from `at` on,
// or `limit`: one that covers a whole eight-byte word of the image. Shorter
// runs, the zero bytes inside numbers and dates, stay in the literal, which
// is then found a word at a time.
const uint8_t* NextZeroRun(const uint8_t* image, const uint8_t* at, const uint8_t* limit) {
  constexpr size_t kWord = sizeof(uint64_t);
  const size_t firstWord = (static_cast<size_t>(at - image) + kWord - 1) / kWord * kWord;
  for (const uint8_t* word = image + firstWord; word + kWord <= limit; word += kWord) {
    uint64_t bits = 0;
    std::memcpy(&bits, word, kWord);
    if (bits != 0) continue;
    const uint8_t* start = word;
    while (start > at && start[-1] == 0) --start;
    return start;
  }
  return limit;
}

}  // namespace

// At worst every other byte is zero: five bytes for each two.
size_t SqueezedBound(size_t size) { return size / 2 * 5 + 8; }

uint8_t* SqueezeZeros(std::span<const uint8_t> image, uint8_t* out) {
  const uint8_t* const end = image.data() + image.size();
  const uint8_t* at = image.data();
  while (at < end) {
    const uint8_t* const literalEnd = NextZeroRun(image.data(), at, std::min(end, at + 0xFFFF));
    const size_t literal = static_cast<size_t>(literalEnd - at);
    Put16(out, literal);
    std::memcpy(out, at, literal);
    out += literal;
    at = literalEnd;
    const uint8_t* zerosEnd = SkipZeros(at, std::min(end, at + 0xFFFF));
    Put16(out, static_cast<size_t>(zerosEnd - at));
    at = zerosEnd;
  }
  return out;
}

void RestoreZeros(std::span<const uint8_t> squeezed, std::span<uint8_t> image) {
  const uint8_t* in = squeezed.data();
  const uint8_t* const end = in + squeezed.size();
  uint8_t* out = image.data();
  while (in < end) {
    const size_t literal = Get16(in);
    std::memcpy(out, in, literal);
    in += literal;
    out += literal;
    const size_t zeros = Get16(in);
    std::memset(out, 0, zeros);
    out += zeros;
  }
}

}  // namespace keel
