#include "platform/qt_messages.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <mutex>

#include "platform/journal_prefix.h"

namespace ravelin {
namespace {

QtMessageHandler previous = nullptr;
std::atomic<bool> saidOnce{false};

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const std::string category = context.category ? context.category : "";
    if (type != QtFatalMsg && isSoundBackEndMessage(category, message.toStdString())) {
        if (!saidOnce.exchange(true)) {
            std::string text = message.toStdString();
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
            say(Priority::Warning, "sound system: " + text);
        }
        return;
    }
    if (previous) previous(type, context, message);
}

}  // namespace

bool isSoundBackEndMessage(const std::string& category, const std::string& text) {
    if (category.rfind("qt.multimedia", 0) == 0) return true;
    if (category != "default") return false;
    // Qt's PulseAudio back end writes to the default category, each text quoted.
    const std::size_t start = !text.empty() && text.front() == '"' ? 1 : 0;
    for (const char* head : {"pa_", "Stream error", "PulseAudio", "QPulseAudio", "Got a stream error"})
        if (text.compare(start, std::char_traits<char>::length(head), head) == 0) return true;
    return false;
}

void filterSoundBackEndMessages() {
    static std::once_flag installed;
    std::call_once(installed, [] { previous = qInstallMessageHandler(&handle); });
}

}  // namespace ravelin
