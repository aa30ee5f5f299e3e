#include "platform/AlertSound.h"

#include <windows.h>
#include <mmsystem.h>

namespace mindrel {

namespace {

void PutU16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// The sound as the RIFF/WAVE image the system's player reads from memory.
std::vector<std::uint8_t> WaveImage(const TWaveSound& sound) {
  const auto dataSize = static_cast<std::uint32_t>(sound.Samples.size());
  const unsigned blockAlign = static_cast<unsigned>(sound.Channels * sound.BitsPerSample / 8);
  std::vector<std::uint8_t> image;
  PutId(image, "RIFF");
  PutU32(image, 4 + (8 + 16) + (8 + dataSize));
  PutId(image, "WAVE");
  PutId(image, "fmt ");
  PutU32(image, 16);
  PutU16(image, WAVE_FORMAT_PCM);
  PutU16(image, static_cast<unsigned>(sound.Channels));
  PutU32(image, static_cast<std::uint32_t>(sound.SampleRate));
  PutU32(image, static_cast<std::uint32_t>(sound.SampleRate) * blockAlign);
  PutU16(image, blockAlign);
  PutU16(image, static_cast<unsigned>(sound.BitsPerSample));
  PutId(image, "data");
  PutU32(image, dataSize);
  image.insert(image.end(), sound.Samples.begin(), sound.Samples.end());
  return image;
}

}  // namespace

bool TAlertSound::PlayAndWait(const TWaveSound& sound) {
  if (sound.Samples.empty()) return true;
  const std::vector<std::uint8_t> image = WaveImage(sound);
  return PlaySoundW(reinterpret_cast<LPCWSTR>(image.data()), nullptr, SND_MEMORY | SND_SYNC | SND_NODEFAULT) != FALSE;
}

}  // namespace mindrel
