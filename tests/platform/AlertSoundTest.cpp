#include "platform/AlertSound.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

// Builds a RIFF/WAVE image chunk by chunk.
class WaveBuilder {
 public:
  WaveBuilder& Riff(const char* riff = "RIFF", const char* wave = "WAVE") {
    Id(riff);
    U32(0);  // the RIFF size is not trusted, so any value will do
    Id(wave);
    return *this;
  }
  WaveBuilder& Format(int tag, int channels, int rate, int bits) {
    Id("fmt ");
    U32(16);
    U16(tag);
    U16(channels);
    U32(static_cast<std::uint32_t>(rate));
    U32(static_cast<std::uint32_t>(rate * channels * bits / 8));
    U16(channels * bits / 8);
    U16(bits);
    return *this;
  }
  WaveBuilder& Chunk(const char* id, std::vector<std::uint8_t> body, std::uint32_t declared) {
    Id(id);
    U32(declared);
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    return *this;
  }
  WaveBuilder& Chunk(const char* id, std::vector<std::uint8_t> body) {
    const auto size = static_cast<std::uint32_t>(body.size());
    Chunk(id, body, size);
    if (size % 2) bytes_.push_back(0);
    return *this;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::optional<TWaveSound> Parse() const { return TAlertSound::ParseWave(bytes_.data(), bytes_.size()); }

 private:
  void Id(const char* id) { bytes_.insert(bytes_.end(), id, id + 4); }
  void U16(int v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes_;
};

TEST(WaveHeader, ReadsPcmAndSkipsOtherChunks) {
  // An odd-sized chunk before the format is padded to an even length.
  const auto mono8 = WaveBuilder().Riff().Chunk("LIST", {1, 2, 3}).Format(1, 1, 11025, 8).Chunk("data", {10, 20, 30}).Parse();
  ASSERT_TRUE(mono8);
  EXPECT_EQ(mono8->Channels, 1);
  EXPECT_EQ(mono8->SampleRate, 11025);
  EXPECT_EQ(mono8->BitsPerSample, 8);
  EXPECT_EQ(mono8->Samples, (std::vector<std::uint8_t>{10, 20, 30}));

  const auto stereo16 =
      WaveBuilder().Riff().Format(1, 2, 44100, 16).Chunk("fact", {0, 0, 0, 0}).Chunk("data", {1, 2, 3, 4, 5, 6, 7, 8}).Parse();
  ASSERT_TRUE(stereo16);
  EXPECT_EQ(stereo16->Channels, 2);
  EXPECT_EQ(stereo16->SampleRate, 44100);
  EXPECT_EQ(stereo16->BitsPerSample, 16);
  EXPECT_EQ(stereo16->Samples.size(), 8u);
}

TEST(WaveHeader, DataLongerThanTheFileIsCutToWholeFrames) {
  // Declares 1000 bytes, holds 7: three whole 16-bit mono frames remain.
  const auto cut = WaveBuilder().Riff().Format(1, 1, 8000, 16).Chunk("data", {1, 2, 3, 4, 5, 6, 7}, 1000).Parse();
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->Samples, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(WaveHeader, RefusesWhatItCannotPlay) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
  } const cases[] = {
      {"empty", {}},
      {"not RIFF", WaveBuilder().Riff("RIFX").Format(1, 1, 8000, 8).Chunk("data", {1}).Bytes()},
      {"not WAVE", WaveBuilder().Riff("RIFF", "AVI ").Format(1, 1, 8000, 8).Chunk("data", {1}).Bytes()},
      {"compressed", WaveBuilder().Riff().Format(2, 1, 8000, 8).Chunk("data", {1}).Bytes()},
      {"float", WaveBuilder().Riff().Format(3, 1, 8000, 32).Chunk("data", {1}).Bytes()},
      {"24 bits", WaveBuilder().Riff().Format(1, 1, 8000, 24).Chunk("data", {1}).Bytes()},
      {"no channels", WaveBuilder().Riff().Format(1, 0, 8000, 8).Chunk("data", {1}).Bytes()},
      {"six channels", WaveBuilder().Riff().Format(1, 6, 8000, 16).Chunk("data", {1}).Bytes()},
      {"rate zero", WaveBuilder().Riff().Format(1, 1, 0, 8).Chunk("data", {1}).Bytes()},
      {"data before format", WaveBuilder().Riff().Chunk("data", {1, 2}).Format(1, 1, 8000, 8).Bytes()},
      {"no data", WaveBuilder().Riff().Format(1, 1, 8000, 8).Bytes()},
      {"short format", WaveBuilder().Riff().Chunk("fmt ", {1, 0, 1, 0}).Chunk("data", {1}).Bytes()},
      {"chunk past the end", WaveBuilder().Riff().Chunk("LIST", {1, 2}, 0x7FFFFFF0).Format(1, 1, 8000, 8).Bytes()},
  };
  for (const Case& c : cases) EXPECT_FALSE(TAlertSound::ParseWave(c.image.data(), c.image.size())) << c.what;
}

class AlertSoundPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mindrel-sound-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    // A server address where nothing listens: playing must fail, quietly.
    const char* old = std::getenv("PULSE_SERVER");
    if (old) saved_ = old;
    setenv("PULSE_SERVER", ("unix:" + (dir_ / "no-server").string()).c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      setenv("PULSE_SERVER", saved_->c_str(), 1);
    } else {
      unsetenv("PULSE_SERVER");
    }
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::optional<std::string> saved_;
};

TEST_F(AlertSoundPlayTest, EveryFailureIsQuiet) {
  const auto image = WaveBuilder().Riff().Format(1, 1, 8000, 8).Chunk("data", std::vector<std::uint8_t>(800, 128)).Bytes();
  const fs::path good = dir_ / "Alert.wav";
  std::ofstream(good, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  const fs::path bad = dir_ / "Bad.wav";
  std::ofstream(bad) << "not a wave file";

  ASSERT_TRUE(TAlertSound::ReadWaveFile(good.string()));
  EXPECT_FALSE(TAlertSound::ReadWaveFile(bad.string()));
  EXPECT_FALSE(TAlertSound::ReadWaveFile((dir_ / "missing.wav").string()));
  EXPECT_FALSE(TAlertSound::ReadWaveFile(dir_.string())) << "a folder is no wave file";

  EXPECT_FALSE(TAlertSound::PlayAndWait(*TAlertSound::ReadWaveFile(good.string()))) << "no server";

  const auto started = std::chrono::steady_clock::now();
  for (const fs::path& path : {good, bad, dir_ / "missing.wav"}) TAlertSound::PlayFile(path.string());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << "playing must not wait";
}

// A private sound server with a null sink, started when the machine has one.
// It plays in real time, so a drained stream proves the samples were played.
class NullSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mindrel-pulse-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    socket_ = (dir_ / "native").string();
    const std::string home = "HOME=" + dir_.string(), runtime = "XDG_RUNTIME_DIR=" + dir_.string();
    const std::string native = "module-native-protocol-unix auth-anonymous=1 socket=" + socket_;
    const char* argv[] = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                          "--log-target=stderr", "--log-level=error", "-L", "module-null-sink sink_name=mindrel",
                          "-L", native.c_str(), nullptr};
    const char* envp[] = {home.c_str(), runtime.c_str(), "PATH=/usr/bin:/bin", nullptr};
    if (posix_spawnp(&server_, "pulseaudio", nullptr, nullptr, const_cast<char* const*>(argv),
                     const_cast<char* const*>(envp)) != 0) {
      server_ = 0;
      GTEST_SKIP() << "no pulseaudio on this machine";
    }
    for (int i = 0; i < 100 && !fs::exists(socket_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fs::exists(socket_)) GTEST_SKIP() << "pulseaudio did not start";
    setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
  }
  void TearDown() override {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
    unsetenv("PULSE_SERVER");
    fs::remove_all(dir_);
  }

  // Lines of `pactl list short sink-inputs`: the streams playing now.
  int PlayingStreams() const {
    const std::string command = "PULSE_SERVER=unix:" + socket_ + " pactl list short sink-inputs 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    int lines = 0;
    for (int c; (c = std::fgetc(pipe)) != EOF;) lines += c == '\n';
    pclose(pipe);
    return lines;
  }

  static TWaveSound Silence(int bits, int channels, int milliseconds) {
    TWaveSound sound{channels, 8000, bits, {}};
    sound.Samples.assign(static_cast<std::size_t>(8 * milliseconds * channels * bits / 8), bits == 8 ? 128 : 0);
    return sound;
  }

  fs::path dir_;
  std::string socket_;
  pid_t server_ = 0;
};

TEST_F(NullSinkTest, PlaysToTheEndInRealTime) {
  for (const TWaveSound& sound : {Silence(8, 1, 400), Silence(16, 2, 400)}) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(TAlertSound::PlayAndWait(sound)) << sound.BitsPerSample << " bits";
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300)) << "not played out";
  }
}

TEST_F(NullSinkTest, PlayFileReturnsAtOnceWhileTheSoundPlays) {
  const auto image = WaveBuilder().Riff().Format(1, 1, 8000, 16).Chunk("data", std::vector<std::uint8_t>(8000, 0)).Bytes();
  const fs::path path = dir_ / "Alert.wav";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

  const auto started = std::chrono::steady_clock::now();
  TAlertSound::PlayFile(path.string());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  int streams = 0;
  for (int i = 0; i < 40 && streams == 0; ++i) {
    streams = PlayingStreams();
    if (streams == 0) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_EQ(streams, 1) << "the half-second sound should be playing";
  // The server's buffering adds its latency to the sound's length.
  for (int i = 0; i < 80 && streams > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    streams = PlayingStreams();
  }
  EXPECT_EQ(streams, 0) << "and be over after a while";
}

}  // namespace
}  // namespace mindrel
