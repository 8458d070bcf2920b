#include "platform/file_source.h"

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace ravelin {

std::uint8_t unsignedFromInt16(std::int16_t sample) {
    return static_cast<std::uint8_t>((sample >> 8) + 128);  // an arithmetic shift is floor(x / 256)
}

std::uint8_t unsignedFromFloat(float sample) {
    if (std::isnan(sample)) return 128;
    const double v = std::floor(static_cast<double>(sample) * 128.0) + 128.0;
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

namespace {
constexpr sf_count_t kChunkFrames = 4096;
// A second is one buffer; a header claiming more than this is not a recording we can hold.
constexpr int kMostSamplesPerSecond = 1'000'000;

// How the samples are read: raw bytes where they already are unsigned 8-bit, floats
// where the data is not integer (so nothing is clipped or scaled on the way), shorts otherwise.
enum class Reading { RawUnsigned, Float, Short };

Reading readingFor(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8: return Reading::RawUnsigned;
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
        case SF_FORMAT_MPEG_LAYER_I:
        case SF_FORMAT_MPEG_LAYER_II:
        case SF_FORMAT_MPEG_LAYER_III: return Reading::Float;
        default: return Reading::Short;
    }
}
}  // namespace

struct FileSource::File {
    SNDFILE* handle = nullptr;
    SF_INFO info{};
    Reading reading = Reading::Short;
    sf_count_t read = 0;  // frames so far
    std::vector<std::uint8_t> bytes;
    std::vector<short> shorts;
    std::vector<float> floats;

    ~File() {
        if (handle) sf_close(handle);
    }
};

FileSource::FileSource(std::string path, bool fast)
    : SecondCapture(fast ? Pace::Fast : Pace::RealTime), path_(std::move(path)) {}

FileSource::~FileSource() = default;

std::int32_t FileSource::openSource() {
    auto file = std::make_unique<File>();
    file->handle = sf_open(path_.c_str(), SFM_READ, &file->info);
    if (!file->handle) throw CaptureError("cannot read \"" + path_ + "\" as a recording: " + sf_strerror(nullptr), CaptureError::Kind::Unreadable);
    const SF_INFO& info = file->info;
    if (info.channels < 1 || info.samplerate < 1)
        throw CaptureError("\"" + path_ + "\" holds no usable audio (channels " + std::to_string(info.channels) +
                           ", rate " + std::to_string(info.samplerate) + ")",
                           CaptureError::Kind::Unreadable);
    if (info.samplerate > kMostSamplesPerSecond)
        throw CaptureError("\"" + path_ + "\" has " + std::to_string(info.samplerate) +
                           " samples a second, more than a recording of a counter can use",
                           CaptureError::Kind::Unreadable);
    file->reading = readingFor(info.format);
    const auto values = static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(info.channels);
    if (file->reading == Reading::RawUnsigned) {
        if (info.channels > 1) file->bytes.resize(values);
    } else if (file->reading == Reading::Float) {
        file->floats.resize(values);
    } else {
        file->shorts.resize(values);
    }
    file_ = std::move(file);
    return info.samplerate;
}

void FileSource::closeSource() { file_.reset(); }

SecondCapture::Produced FileSource::produce(std::uint8_t* out, std::int32_t room) {
    if (!file_) return {0, true};
    File& f = *file_;
    const int channels = f.info.channels;
    const sf_count_t wanted = std::min<sf_count_t>(room, f.info.samplerate);
    sf_count_t got = 0;
    if (f.reading == Reading::RawUnsigned && channels == 1) {
        got = sf_read_raw(f.handle, out, wanted);
    } else {
        // Several channels or wider samples go through a small scratch buffer, a chunk at a time.
        while (got < wanted) {
            const sf_count_t chunk = std::min<sf_count_t>(kChunkFrames, wanted - got);
            sf_count_t n = 0;
            std::uint8_t* to = out + got;
            if (f.reading == Reading::RawUnsigned) {
                n = sf_read_raw(f.handle, f.bytes.data(), chunk * channels) / channels;
                for (sf_count_t i = 0; i < n; ++i) to[i] = f.bytes[static_cast<std::size_t>(i * channels)];
            } else if (f.reading == Reading::Float) {
                n = sf_readf_float(f.handle, f.floats.data(), chunk);
                for (sf_count_t i = 0; i < n; ++i) to[i] = unsignedFromFloat(f.floats[static_cast<std::size_t>(i * channels)]);
            } else {
                n = sf_readf_short(f.handle, f.shorts.data(), chunk);
                for (sf_count_t i = 0; i < n; ++i) to[i] = unsignedFromInt16(f.shorts[static_cast<std::size_t>(i * channels)]);
            }
            if (n <= 0) break;
            got += n;
            if (n < chunk) break;
        }
    }
    if (got < 0) got = 0;
    if (sf_error(f.handle) != SF_ERR_NO_ERROR) {
        endCapture("reading \"" + path_ + "\" failed: " + sf_strerror(f.handle));
        return {0, false};
    }
    f.read += got;
    // A second that ends exactly at the end of the file is the last one too.
    const bool exactLength = f.reading != Reading::Float && f.info.frames > 0 && f.info.frames != SF_COUNT_MAX;
    const bool last = got < wanted || (exactLength && f.read >= f.info.frames);
    return {static_cast<std::int32_t>(got), last};
}

}  // namespace ravelin
