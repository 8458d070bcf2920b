#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QUrl>

#include "platform/data_paths.h"
#include "platform/sound.h"
#include "platform/wav_decode.h"

namespace ravelin {
namespace {

ProblemKey soundProblem(int stage) { return stage == 2 ? ProblemKey::AlarmSound2 : ProblemKey::AlarmSound1; }

class QtSoundPlayer;
QtSoundPlayer* current = nullptr;

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer(MonitorFace& face, std::string defaults) : face_(face), defaults_(std::move(defaults)) {
        current = this;
        checkOutput();
    }
    ~QtSoundPlayer() override {
        stop();
        if (current == this) current = nullptr;
    }

    void playLoop(int stage, const std::string& fileName) override {
        stop();
        if (!checkOutput()) return;
        const std::string path = QDir::current().absoluteFilePath(QString::fromStdString(fileName)).toStdString();
        const AlarmWavKind kind = examineAlarmWav(path);
        std::string why = kind.why;
        std::string source = path;
        if (why.empty() && kind.decode) why = decode(path, source);
        if (why.empty()) {
            face_.clearProblem(soundProblem(stage));
            play(stage, fileName, source, false);
        } else {
            fallBack(stage, fileName, why);
        }
    }

    void stop() override {
        if (effect_) {
            effect_->stop();
            // Deleted from the event loop: a status signal of this effect may be on its way.
            effect_->deleteLater();
            effect_ = nullptr;
        }
        decoded_.reset();
        playing_.clear();
    }

    const std::string& playing() const { return playing_; }

private:
    bool checkOutput() {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            face_.setProblem(Problem{ProblemKey::NoAudioOutput, {}, {}, {}});
            return false;
        }
        face_.clearProblem(ProblemKey::NoAudioOutput);
        return true;
    }

    // Decodes `path` into a temporary file of this player's, its name in `decodedPath`.
    std::string decode(const std::string& path, std::string& decodedPath) {
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/ravelin-alarm-XXXXXX.wav");
        if (!file->open()) return file->errorString().toStdString();
        file->close();  // the name stays taken until the object goes
        decodedPath = file->fileName().toStdString();
        const std::string why = decodeToPcm16(path, decodedPath);
        if (why.empty()) decoded_ = std::move(file);
        return why;
    }

    void fallBack(int stage, const std::string& fileName, const std::string& why) {
        face_.setProblem(Problem{soundProblem(stage), {}, fileName, why});
        const std::string path = defaults_ + (stage == 2 ? "/alarm2.wav" : "/alarm1.wav");
        if (checkAlarmWav(path).empty()) play(stage, fileName, path, true);
    }

    void play(int stage, const std::string& fileName, const std::string& path, bool isDefault) {
        auto* effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
        effect->setLoopCount(QSoundEffect::Infinite);
        // A file that libsndfile reads but the player cannot decode: the default sound instead.
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [this, effect, stage, fileName, isDefault] {
            if (effect != effect_ || effect->status() != QSoundEffect::Error) return;
            if (isDefault) {
                face_.setProblem(Problem{ProblemKey::NoAudioOutput, {}, {}, {}});
                stop();
            } else {
                stop();
                fallBack(stage, fileName, "decode error");
            }
        });
        effect_ = effect;
        playing_ = path;
        effect->play();
    }

    MonitorFace& face_;
    std::string defaults_;
    QSoundEffect* effect_ = nullptr;
    std::unique_ptr<QTemporaryFile> decoded_;  // the playing sound when decoded; removed with it
    std::string playing_;
};

}  // namespace

std::string checkAlarmWav(const std::string& path) { return examineAlarmWav(path).why; }

std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face, const std::string& defaultSoundFolder) {
    return std::make_unique<QtSoundPlayer>(face, defaultSoundFolder);
}

std::unique_ptr<SoundPlayer> createSoundPlayer(MonitorFace& face) {
    return createSoundPlayer(face, dataDirectory() + "/sounds");
}

std::string soundPlaying() { return current ? current->playing() : std::string{}; }

}  // namespace ravelin
