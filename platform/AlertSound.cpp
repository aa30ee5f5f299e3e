#include "platform/AlertSound.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace mindrel {

namespace {

// RIFF header: "RIFF", uint32 size, "WAVE"; then chunks of a four-character
// id, a uint32 size and the body, padded to an even length.
constexpr std::size_t kRiffHeaderSize = 4 + 4 + 4;
constexpr std::size_t kChunkHeaderSize = 4 + 4;
// "fmt " body: uint16 format tag, uint16 channels, uint32 rate,
// uint32 bytes per second, uint16 block align, uint16 bits per sample.
constexpr std::size_t kFormatBodySize = 2 + 2 + 4 + 4 + 2 + 2;
constexpr std::uint16_t kFormatPcm = 1;
// Refuses files far larger than any alert sound before reading them whole.
constexpr std::uintmax_t kMaxFileSize = 64u * 1024 * 1024;

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool HasId(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

std::optional<TWaveSound> TAlertSound::ParseWave(const std::uint8_t* bytes, std::size_t size) {
  if (size < kRiffHeaderSize || !HasId(bytes, "RIFF") || !HasId(bytes + 8, "WAVE")) return std::nullopt;
  TWaveSound sound;
  bool haveFormat = false;
  std::size_t at = kRiffHeaderSize;
  while (size - at >= kChunkHeaderSize) {
    const std::uint8_t* chunk = bytes + at;
    const std::size_t available = size - at - kChunkHeaderSize;
    const std::size_t declared = ReadU32(chunk + 4);
    const std::uint8_t* body = chunk + kChunkHeaderSize;
    if (HasId(chunk, "fmt ")) {
      if (declared < kFormatBodySize || available < kFormatBodySize) return std::nullopt;
      if (ReadU16(body) != kFormatPcm) return std::nullopt;
      sound.Channels = ReadU16(body + 2);
      sound.SampleRate = static_cast<int>(ReadU32(body + 4) & 0x7FFFFFFF);
      sound.BitsPerSample = ReadU16(body + 14);
      if ((sound.Channels != 1 && sound.Channels != 2) || sound.SampleRate == 0 ||
          (sound.BitsPerSample != 8 && sound.BitsPerSample != 16)) {
        return std::nullopt;
      }
      haveFormat = true;
    } else if (HasId(chunk, "data")) {
      if (!haveFormat) return std::nullopt;
      const std::size_t length = std::min(declared, available);
      const std::size_t frameSize = static_cast<std::size_t>(sound.Channels * sound.BitsPerSample / 8);
      sound.Samples.assign(body, body + (length - length % frameSize));
      return sound;
    }
    if (declared > available) return std::nullopt;
    at += kChunkHeaderSize + declared + (declared & 1);
    if (at > size) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<TWaveSound> TAlertSound::ReadWaveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff length = in.tellg();
  if (length <= 0 || static_cast<std::uintmax_t>(length) > kMaxFileSize) return std::nullopt;
  in.seekg(0);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(length));
  if (!in.read(reinterpret_cast<char*>(image.data()), length)) return std::nullopt;
  return ParseWave(image.data(), image.size());
}

void TAlertSound::PlayFile(const std::string& path) {
  std::optional<TWaveSound> sound = ReadWaveFile(path);
  if (!sound) return;
  try {
    std::thread([sound = std::move(*sound)] { PlayAndWait(sound); }).detach();
  } catch (const std::system_error&) {
    // No thread, no sound: the alert stays silent like any other failure.
  }
}

}  // namespace mindrel
