// A recording as a capture source: any format libsndfile reads, first channel,
// unsigned 8-bit, one buffer per second at the file's own rate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/capture_base.h"

namespace ravelin {

// A sample as a signed fraction x of full scale (-1 <= x < 1) becomes
// floor(x * 128) + 128, limited to 0..255: 8-bit unsigned data passes unchanged and
// integer samples keep their top 8 bits. Not-a-number is the baseline, 128.
std::uint8_t unsignedFromInt16(std::int16_t sample);
std::uint8_t unsignedFromFloat(float sample);

class FileSource : public SecondCapture {
public:
    FileSource(std::string path, bool fast);
    ~FileSource() override;

protected:
    std::int32_t openSource() override;
    void closeSource() override;
    Produced produce(std::uint8_t* out, std::int32_t room) override;

private:
    struct File;
    std::string path_;
    std::unique_ptr<File> file_;
};

}  // namespace ravelin
