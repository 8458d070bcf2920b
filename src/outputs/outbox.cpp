#include "outputs/outbox.h"

namespace ravelin {

namespace {
constexpr const char* kSent = "sent";
constexpr const char* kDropped = "dropped";

// Calls `each` with every complete line of `text` (without its LF); true when it ends in a cut one.
template <typename Each>
bool forEachLine(const std::string& text, Each each) {
    std::size_t at = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', at)) {
        each(text.substr(at, lf - at));
        at = lf + 1;
    }
    return at < text.size();
}
}  // namespace

MapReading Outbox::front() const {
    const std::string& line = queue_.front().line;
    return *parseOutboxLine(line.substr(0, line.size() - 1));
}

Outbox::Outbox(FileSystem& files, std::string path, std::size_t maxReadings)
    : files_(files), path_(std::move(path)), donePath_(path_ + "-done"), max_(maxReadings) {}

bool Outbox::load(std::string& error) {
    std::string outbox, done;
    if ((files_.exists(path_) && !files_.readAll(path_, outbox, error)) ||
        (files_.exists(donePath_) && !files_.readAll(donePath_, done, error)))
        return false;
    std::size_t doneCount = 0;
    doneCut_ = forEachLine(done, [&](const std::string& line) {
        if (line == kSent || line == kDropped) ++doneCount;
    });
    std::size_t index = 0;
    outboxCut_ = forEachLine(outbox, [&](const std::string& line) {
        if (!parseOutboxLine(line)) return;  // a line cut short by a crash, closed later
        if (index++ >= doneCount) queue_.push_back(Entry{line + "\n", true});
    });
    if (queue_.empty()) {
        // Every reading in them was done with: removed, the outbox first (a done file
        // without its outbox is one left by a crash between the two removals).
        files_.remove(path_);
        files_.remove(donePath_);
        outboxCut_ = doneCut_ = false;
    }
    trim(false);
    return true;
}

bool Outbox::appendLine(const std::string& path, const std::string& line, bool& cut) {
    std::string error;
    auto file = files_.openAppend(path, error);
    if (!file) {
        lastError_ = path + ": " + error;
        return false;
    }
    const std::string bytes = (cut ? "\n" : "") + line;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = file->write(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            lastError_ = path + ": " + (n < 0 ? file->error() : std::string("nothing written"));
            if (done > 0) cut = true;
            file->close();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    cut = false;
    // A failed sync still leaves the line whole in the file's cache: it counts as written,
    // since a second copy would be a repeat.
    file->sync();
    file->close();
    return true;
}

void Outbox::writeQueued() {
    // The readings not in the file are the last ones: each waits for the one before it.
    for (std::size_t i = queue_.size() - unwritten_; i < queue_.size(); ++i) {
        if (!appendLine(path_, queue_[i].line, outboxCut_)) return;
        queue_[i].onDisk = true;
        --unwritten_;
    }
    lastError_.clear();
}

void Outbox::add(const MapReading& reading, bool frontBusy) {
    queue_.push_back(Entry{outboxLine(reading), false});
    ++unwritten_;
    writeQueued();
    trim(frontBusy);
}

void Outbox::trim(bool frontBusy) {
    while (queue_.size() > max_ && !frontBusy) {
        popFront(false);
        ++dropped_;
    }
}

void Outbox::popFront(bool sent) {
    const bool onDisk = queue_.front().onDisk;
    if (!onDisk) --unwritten_;
    queue_.pop_front();
    // A reading the file never held has no line to be done with.
    if (onDisk) appendLine(donePath_, std::string(sent ? kSent : kDropped) + "\n", doneCut_);
    if (queue_.empty()) {
        files_.remove(path_);
        files_.remove(donePath_);
        outboxCut_ = doneCut_ = false;
    } else if (unwritten_ > 0) {
        writeQueued();
    }
    if (unwritten_ == 0) lastError_.clear();
}

}  // namespace ravelin
