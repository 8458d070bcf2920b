#include "platform/audio_source.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

#include "platform/capture_sources.h"
#include "platform/qt_messages.h"

namespace ravelin {
namespace {

constexpr int kSilenceLimitMs = 5000;  // a working input delivers something well within this

QAudioFormat captureFormat(std::int32_t rate) {
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::UInt8);
    return format;
}

const char* errorText(QAudio::Error error) {
    switch (error) {
        case QAudio::OpenError: return "the input could not be opened";
        case QAudio::IOError: return "reading from the input failed";
        case QAudio::UnderrunError: return "the input stopped delivering sound";
        case QAudio::FatalError: return "the audio system failed";
        default: return "the input stopped";
    }
}

}  // namespace

std::vector<AudioInputInfo> listAudioInputs() {
    std::vector<AudioInputInfo> inputs;
    for (const QAudioDevice& d : QMediaDevices::audioInputs())
        inputs.push_back({d.id().toStdString(), d.description().toStdString()});
    return inputs;
}

struct AudioInput::Session {
    QAudioDevice device;
    QObject context;  // connections die with it
    QMediaDevices devices;
    std::unique_ptr<QAudioSource> source;
    QPointer<QIODevice> io;  // owned by the audio source, which may drop it when the stream fails
    QTimer watchdog;
    QElapsedTimer sinceData;
    std::int32_t offset = 0;  // bytes of the second being assembled
    bool stopping = false;
    int run = 0;  // which Start a late report belongs to
};

AudioInput::AudioInput(std::string name, std::int32_t rate)
    : SecondCapture(Pace::Pushed, rate), name_(std::move(name)), rate_(rate) {}

AudioInput::~AudioInput() { closeSource(); }

std::int32_t AudioInput::openSource() {
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    if (inputs.isEmpty()) throw CaptureError("there is no sound input device");
    QAudioDevice chosen;
    if (name_.empty()) {
        chosen = QMediaDevices::defaultAudioInput();
        if (chosen.isNull()) chosen = inputs.front();
    } else {
        const QByteArray id = QByteArray::fromStdString(name_);
        const QString description = QString::fromStdString(name_);
        for (const auto& d : inputs)
            if (d.id() == id) chosen = d;
        if (chosen.isNull())
            for (const auto& d : inputs)
                if (d.description() == description) chosen = d;
        if (chosen.isNull()) throw CaptureError("there is no sound input \"" + name_ + "\" (see --list-inputs)");
    }
    if (!chosen.isFormatSupported(captureFormat(rate_)))
        throw CaptureError("the sound input \"" + chosen.description().toStdString() +
                           "\" cannot record unsigned 8-bit mono at " + std::to_string(rate_) + " Hz");
    session_ = std::make_unique<Session>();
    session_->device = chosen;
    return rate_;
}

void AudioInput::startSource() {
    if (!session_) throw CaptureError("the sound input is not open");
    filterSoundBackEndMessages();  // a device going away is reported by the capture, not by Qt per buffer
    Session& s = *session_;
    s.stopping = false;
    s.offset = 0;
    ++s.run;
    s.source = std::make_unique<QAudioSource>(s.device, captureFormat(rate_));
    // Small chunks keep a second's end close to when it was heard.
    s.source->setBufferSize(rate_ / 5);
    s.io = s.source->start();
    if (!s.io || s.source->error() != QAudio::NoError) {
        const std::string why = errorText(s.source->error());
        s.source.reset();
        s.io = nullptr;
        throw CaptureError("cannot record from \"" + s.device.description().toStdString() + "\": " + why);
    }
    QObject::connect(s.io, &QIODevice::readyRead, &s.context, [this] { takeData(); });
    QObject::connect(s.source.get(), &QAudioSource::stateChanged, &s.context, [this](QAudio::State state) {
        if (!session_ || session_->stopping || !session_->source) return;
        if (state == QAudio::StoppedState && session_->source->error() != QAudio::NoError)
            lost(errorText(session_->source->error()));
    });
    QObject::connect(&s.devices, &QMediaDevices::audioInputsChanged, &s.context, [this] {
        if (!session_ || session_->stopping) return;
        for (const auto& d : QMediaDevices::audioInputs())
            if (d.id() == session_->device.id()) return;
        lost("the device is gone");
    });
    s.sinceData.start();
    s.watchdog.setInterval(1000);
    QObject::connect(&s.watchdog, &QTimer::timeout, &s.context, [this] {
        if (session_ && !session_->stopping && session_->sinceData.elapsed() > kSilenceLimitMs)
            lost("no sound has come from it for " + std::to_string(kSilenceLimitMs / 1000) + " seconds");
    });
    s.watchdog.start();
}

void AudioInput::takeData() {
    if (!session_ || session_->stopping || !session_->io) return;
    Session& s = *session_;
    char scrap[4096];
    for (;;) {
        std::uint8_t* buffer = bufferToFill();
        qint64 n = 0;
        if (buffer) {
            n = s.io->read(reinterpret_cast<char*>(buffer) + s.offset, rate_ - s.offset);
        } else {
            // The system holds every buffer: what comes now is lost, as on any sound card.
            n = s.io->read(scrap, sizeof scrap);
        }
        if (n <= 0) break;
        s.sinceData.restart();
        if (!buffer) continue;
        s.offset += static_cast<std::int32_t>(n);
        if (s.offset >= rate_) {
            s.offset = 0;
            bufferFilled(rate_);
        }
    }
}

void AudioInput::lost(const std::string& reason) {
    if (!session_ || session_->stopping) return;
    const std::string what = "the sound input \"" + session_->device.description().toStdString() + "\" was lost: " + reason;
    // Not from inside the audio system's own signal: the stream is torn down later.
    QMetaObject::invokeMethod(
        &session_->context,
        [this, what, run = session_->run] {
            if (session_ && session_->run == run) endCapture(what);
        },
        Qt::QueuedConnection);
}

void AudioInput::stopSource() {
    if (!session_) return;
    Session& s = *session_;
    s.stopping = true;
    s.watchdog.stop();
    s.offset = 0;  // the part of a second heard before the stop is dropped
    if (s.source) {
        QObject::disconnect(s.source.get(), nullptr, &s.context, nullptr);
        if (s.io) QObject::disconnect(s.io, nullptr, &s.context, nullptr);
        s.source->stop();
    }
    s.io = nullptr;
}

void AudioInput::closeSource() {
    if (!session_) return;
    stopSource();
    session_.reset();
}

}  // namespace ravelin
