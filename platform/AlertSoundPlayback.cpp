#include "platform/AlertSound.h"

#include <pulse/error.h>
#include <pulse/simple.h>

namespace mindrel {

bool TAlertSound::PlayAndWait(const TWaveSound& sound) {
  pa_sample_spec format{};
  format.format = sound.BitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  format.rate = static_cast<std::uint32_t>(sound.SampleRate);
  format.channels = static_cast<std::uint8_t>(sound.Channels);
  if (!pa_sample_spec_valid(&format)) return false;
  int error = 0;
  pa_simple* stream =
      pa_simple_new(nullptr, "Mindrel", PA_STREAM_PLAYBACK, nullptr, "Alert", &format, nullptr, nullptr, &error);
  if (!stream) return false;
  const bool played = sound.Samples.empty() ||
                      (pa_simple_write(stream, sound.Samples.data(), sound.Samples.size(), &error) == 0 &&
                       pa_simple_drain(stream, &error) == 0);
  pa_simple_free(stream);
  return played;
}

}  // namespace mindrel
