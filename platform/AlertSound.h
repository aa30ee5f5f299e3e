#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mindrel {

// PCM samples of a wave file, ready to be played as stored.
struct TWaveSound {
  int Channels = 0;       // 1 or 2
  int SampleRate = 0;     // frames per second
  int BitsPerSample = 0;  // 8 (unsigned) or 16 (signed, little-endian)
  std::vector<std::uint8_t> Samples;
};

// Plays a wave file once through the sound server. Every failure (no server,
// no device, a missing or unreadable file) is silent.
class TAlertSound {
 public:
  // Decodes a RIFF/WAVE image of uncompressed PCM, 8 or 16 bits, mono or
  // stereo. Empty for anything else. A data chunk that claims more bytes
  // than the image holds is cut to what is there.
  static std::optional<TWaveSound> ParseWave(const std::uint8_t* bytes, std::size_t size);
  static std::optional<TWaveSound> ReadWaveFile(const std::string& path);

  // Plays and waits for the end; false on any failure.
  static bool PlayAndWait(const TWaveSound& sound);

  // Reads the file and starts playing it on a thread of its own without
  // waiting for the end. Returns at once in every case.
  static void PlayFile(const std::string& path);
};

}  // namespace mindrel
