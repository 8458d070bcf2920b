#include <gtest/gtest.h>

#include "platform/qt_messages.h"

using namespace ravelin;

TEST(QtMessages, OnlyTheSoundBackEndsMessagesAreHeldBack) {
    // As Qt's PulseAudio back end writes them when a device goes away: default category, quoted.
    EXPECT_TRUE(isSoundBackEndMessage("default", "\"pa_stream_peek() failed: Invalid argument\""));
    EXPECT_TRUE(isSoundBackEndMessage("default", "\"Stream error: Entity killed\""));
    EXPECT_TRUE(isSoundBackEndMessage("qt.multimedia.audiooutput", "anything"));
    // Everything else still reaches stderr as Qt writes it.
    EXPECT_FALSE(isSoundBackEndMessage("default", "QStandardPaths: XDG_RUNTIME_DIR not set"));
    EXPECT_FALSE(isSoundBackEndMessage("qt.qpa.xcb", "pa_ in another category"));
    EXPECT_FALSE(isSoundBackEndMessage("default", "\"the pa_ prefix later in the text\""));
}
