// The alarm player's checks of a WAV file and the program's own sounds.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <sndfile.h>

#include "platform/data_paths.h"
#include "platform/sound.h"
#include "support/fakes.h"

using namespace ravelin;

namespace {

std::vector<double> samples(const std::string& path, int& rate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<double> out(static_cast<std::size_t>(info.frames * info.channels));
    sf_read_double(f, out.data(), static_cast<sf_count_t>(out.size()));
    sf_close(f);
    rate = info.samplerate;
    return out;
}

// Relative power of one frequency (Goertzel) over the whole signal.
double power(const std::vector<double>& x, int rate, double hz) {
    const double w = 2.0 * 3.14159265358979 * hz / rate;
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s = v + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return (s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2) / (static_cast<double>(x.size()) * x.size());
}

}  // namespace

TEST(AlarmWav, MissingTinyAndForeignFilesAreRefused) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    EXPECT_NE(checkAlarmWav(base + "/none.wav"), "");
    std::ofstream(base + "/tiny.wav") << "RIFF1234";  // under 12 bytes
    EXPECT_NE(checkAlarmWav(base + "/tiny.wav"), "");
    std::ofstream(base + "/text.wav") << std::string(2000, 'a');
    EXPECT_NE(checkAlarmWav(base + "/text.wav"), "");
    EXPECT_EQ(checkAlarmWav(std::string(RAVELIN_SOUND_DIR) + "/alarm1.wav"), "");
}

TEST(AlarmWav, TheProgramsOwnSoundsDifferByStage) {
    int rate1 = 0, rate2 = 0;
    const auto one = samples(std::string(RAVELIN_SOUND_DIR) + "/alarm1.wav", rate1);
    const auto two = samples(std::string(RAVELIN_SOUND_DIR) + "/alarm2.wav", rate2);
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());
    EXPECT_GT(power(one, rate1, 880), 100 * power(one, rate1, 1320));
    EXPECT_GT(power(two, rate2, 1320), 100 * power(two, rate2, 880));
    EXPECT_GT(power(two, rate2, 660), 100 * power(two, rate2, 880));
}

TEST(AlarmWav, TheDataFolderIsBesideTheProgramsFolder) {
    const std::string dir = dataDirectory();
    EXPECT_TRUE(dir.ends_with("/share/ravelin")) << dir;
    EXPECT_EQ(defaultAlarmSoundPath(2), dir + "/sounds/alarm2.wav");
}

TEST(AlarmPlayer, AMissingFileFallsBackToTheOwnSoundOrNoOutputIsSaid) {
    test::FakeFace face;
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        auto player = createSoundPlayer(face, RAVELIN_SOUND_DIR);
        player->playLoop(1, "daiichi.wav");
        if (QMediaDevices::audioOutputs().isEmpty()) {
            EXPECT_TRUE(face.hasProblem(ProblemKey::NoAudioOutput));
            EXPECT_EQ(soundPlaying(), "");
        } else {
            ASSERT_TRUE(face.hasProblem(ProblemKey::AlarmSound1));
            EXPECT_EQ(face.problems[ProblemKey::AlarmSound1].detail, "daiichi.wav");
            EXPECT_TRUE(soundPlaying().ends_with("/alarm1.wav")) << soundPlaying();
            player->playLoop(2, "daini.wav");
            EXPECT_TRUE(soundPlaying().ends_with("/alarm2.wav")) << soundPlaying();
        }
        player->stop();
        EXPECT_EQ(soundPlaying(), "");
    }
    QDir::setCurrent(cwd);
}
