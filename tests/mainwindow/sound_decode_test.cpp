// Alarm WAVs in encodings the sound effect does not play itself: accepted, decoded to
// 16-bit PCM sample for sample, looped from a copy that goes with the sound.
#include <gtest/gtest.h>

#include <QDir>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sndfile.h>

#include "platform/sound.h"
#include "platform/wav_decode.h"
#include "support/fakes.h"

using namespace ravelin;

namespace {

// A 440 Hz tone at 8000 Hz, 0.5 s, `channels` of it (the second one at half level).
std::vector<short> tone(int channels) {
    std::vector<short> out;
    for (int i = 0; i < 4000; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<short>(20000.0 / (c + 1) * std::sin(2 * 3.14159265358979 * 440 * i / 8000)));
    return out;
}

void writeWav(const std::string& path, int format, int channels = 1) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    const auto x = tone(channels);
    // Float files hold full scale as 1.0; libsndfile stores shorts in them unscaled.
    std::vector<double> scaled(x.begin(), x.end());
    for (double& v : scaled) v /= 32768.0;
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT)
        sf_writef_double(f, scaled.data(), static_cast<sf_count_t>(x.size()) / channels);
    else
        sf_writef_short(f, x.data(), static_cast<sf_count_t>(x.size()) / channels);
    sf_close(f);
}

// The file's samples as libsndfile decodes them to 16 bits, with its format.
std::vector<short> read16(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<short> out(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(f, out.data(), info.frames);
    sf_close(f);
    return out;
}

struct Encoding {
    const char* name;
    int format;
};
const Encoding kEncoded[] = {{"mu-law", SF_FORMAT_WAV | SF_FORMAT_ULAW},
                             {"A-law", SF_FORMAT_WAV | SF_FORMAT_ALAW},
                             {"IMA ADPCM", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
                             {"MS ADPCM", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM},
                             {"GSM 6.10", SF_FORMAT_WAV | SF_FORMAT_GSM610},
                             {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                             {"extensible PCM", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16}};

bool needsAudio() {
    if (!QMediaDevices::audioOutputs().isEmpty()) return true;
    if (qEnvironmentVariableIsSet("RAVELIN_EXPECT_AUDIO")) ADD_FAILURE() << "no audio output";
    return false;
}

}  // namespace

TEST(AlarmWavDecode, EncodedWavsAreAcceptedAndDecodeSampleForSample) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    for (const Encoding& e : kEncoded) {
        for (int channels : {1, 2}) {
            if (channels == 2 && (e.format & SF_FORMAT_SUBMASK) == SF_FORMAT_GSM610) continue;  // mono only
            SCOPED_TRACE(std::string(e.name) + ", channels " + std::to_string(channels));
            const std::string from = base + "/in.wav", to = base + "/out.wav";
            writeWav(from, e.format, channels);
            EXPECT_EQ(checkAlarmWav(from), "");
            EXPECT_TRUE(examineAlarmWav(from).decode);
            ASSERT_EQ(decodeToPcm16(from, to), "");
            SF_INFO in{}, out{};
            const auto want = read16(from, in);
            const auto got = read16(to, out);
            EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
            EXPECT_EQ(out.samplerate, 8000);
            EXPECT_EQ(out.channels, channels);
            ASSERT_EQ(got.size(), want.size());
            // libsndfile's own 16-bit reading of a float file does not scale it.
            EXPECT_TRUE(got == (e.format == (SF_FORMAT_WAV | SF_FORMAT_FLOAT) ? tone(channels) : want));
        }
    }
}

TEST(AlarmWavDecode, IntegerPcmPlaysAsItIsAndBrokenFilesAreRefused) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    for (int sub : {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32}) {
        writeWav(base + "/pcm.wav", SF_FORMAT_WAV | sub);
        const AlarmWavKind kind = examineAlarmWav(base + "/pcm.wav");
        EXPECT_EQ(kind.why, "") << sub;
        EXPECT_FALSE(kind.decode) << sub;
    }
    writeWav(base + "/tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_ULAW);
    EXPECT_EQ(checkAlarmWav(base + "/tone.aiff"), "not a WAV file");

    // A mu-law file cut inside its header, and one whose header is followed by noise.
    writeWav(base + "/whole.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW);
    std::string bytes;
    {
        std::ifstream in(base + "/whole.wav", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(base + "/cut.wav", std::ios::binary) << bytes.substr(0, 30);
    EXPECT_NE(checkAlarmWav(base + "/cut.wav"), "");
    std::ofstream(base + "/garbage.wav", std::ios::binary) << bytes.substr(0, 12) << std::string(3000, '\x7f');
    EXPECT_NE(checkAlarmWav(base + "/garbage.wav"), "");
    EXPECT_NE(decodeToPcm16(base + "/garbage.wav", base + "/out.wav"), "");
    EXPECT_NE(decodeToPcm16(base + "/whole.wav", base + "/no/such/folder.wav"), "");
}

TEST(AlarmPlayer, AnEncodedFileLoopsDecodedAndItsCopyGoesWithTheSound) {
    if (!needsAudio()) GTEST_SKIP() << "no audio output";
    QTemporaryDir dir, tmp;
    const QString cwd = QDir::currentPath();
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    QDir::setCurrent(dir.path());
    const std::string base = dir.path().toStdString();
    const auto tempFiles = [&] { return QDir(tmp.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(); };
    test::FakeFace face;
    {
        auto player = createSoundPlayer(face, RAVELIN_SOUND_DIR);
        writeWav(base + "/daiichi.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW);
        player->playLoop(1, "daiichi.wav");
        const std::string first = soundPlaying();
        EXPECT_FALSE(face.hasProblem(ProblemKey::AlarmSound1));
        EXPECT_TRUE(first.starts_with(tmp.path().toStdString() + "/")) << first;
        SF_INFO in{}, out{};
        EXPECT_TRUE(read16(first, out) == read16(base + "/daiichi.wav", in));
        // The sound effect takes the copy: no decode error brings the own sound.
        QTest::qWait(1500);
        EXPECT_EQ(soundPlaying(), first);
        EXPECT_FALSE(face.hasProblem(ProblemKey::AlarmSound1));

        writeWav(base + "/daini.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM);
        player->playLoop(2, "daini.wav");
        EXPECT_FALSE(std::filesystem::exists(first));
        EXPECT_NE(soundPlaying(), first);
        EXPECT_TRUE(read16(soundPlaying(), out) == read16(base + "/daini.wav", in));
        EXPECT_EQ(tempFiles(), 1);

        std::ofstream(base + "/daini.wav", std::ios::binary) << "RIFF\x10\0\0\0WAVEfmt " << std::string(100, '\x01');
        player->playLoop(2, "daini.wav");
        EXPECT_TRUE(face.hasProblem(ProblemKey::AlarmSound2));
        EXPECT_TRUE(soundPlaying().ends_with("/alarm2.wav")) << soundPlaying();
        EXPECT_EQ(tempFiles(), 0);

        writeWav(base + "/daini.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        player->playLoop(2, "daini.wav");
        EXPECT_EQ(soundPlaying(), base + "/daini.wav");
        player->playLoop(1, "daiichi.wav");
        EXPECT_EQ(tempFiles(), 1);
    }
    EXPECT_EQ(tempFiles(), 0);
    QDir::setCurrent(cwd);
    qputenv("TMPDIR", oldTmp);
}
