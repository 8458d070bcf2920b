// The live sound input through Qt Multimedia: unsigned 8-bit mono at 22050 Hz or the
// rate asked for, assembled into one-second buffers from the chunks the system delivers.
#pragma once

#include <memory>
#include <string>

#include "platform/capture_base.h"

namespace ravelin {

class AudioInput : public SecondCapture {
public:
    static constexpr std::int32_t kRate = 22050;

    // `name` is an input's id or, failing that, its description; empty is the default input.
    // One buffer is one second: `rate` samples.
    explicit AudioInput(std::string name, std::int32_t rate = kRate);
    ~AudioInput() override;

protected:
    std::int32_t openSource() override;
    void startSource() override;
    void stopSource() override;
    void closeSource() override;

private:
    struct Session;
    void takeData();
    void lost(const std::string& reason);

    std::string name_;
    std::int32_t rate_;
    std::unique_ptr<Session> session_;
};

}  // namespace ravelin
