// The outbox of readings waiting for a service that keeps every reading: an append-only
// file of readings and a second append-only file with one line for each reading done
// with (sent or dropped), oldest first. Both go once every reading in them is done.
// Written by the log's rules: each line fsynced, the file closed after it, and a line
// cut short by a failure is never merged with the next (a LF closes it first and it is
// skipped when read back).
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "engine/services.h"
#include "outputs/map_reading.h"

namespace ravelin {

class Outbox {
public:
    // `path` is the outbox file; the done file is `path` + "-done". At most `maxReadings` wait.
    Outbox(FileSystem& files, std::string path, std::size_t maxReadings);

    // Takes up what an earlier run left. False, with the reason in `error`, when a file
    // exists but cannot be read; the outbox then starts empty and the files are left alone.
    bool load(std::string& error);

    // Queues the reading and writes every queued reading not yet in the file. Past the
    // cap the oldest waiting reading is dropped, unless `frontBusy` (it is in flight).
    void add(const MapReading& reading, bool frontBusy);
    // The oldest reading is done with: `sent`, or dropped. The files go when none is left.
    void popFront(bool sent);

    bool empty() const { return queue_.empty(); }
    std::size_t size() const { return queue_.size(); }
    MapReading front() const;
    // Drops the oldest readings past the cap, unless `frontBusy` (it is in flight).
    void trim(bool frontBusy);
    // Readings dropped by the cap since the start.
    std::size_t dropped() const { return dropped_; }
    // Queued readings the file does not hold yet (a full disk); lastError() says why.
    std::size_t unwritten() const { return unwritten_; }
    const std::string& lastError() const { return lastError_; }
    const std::string& path() const { return path_; }

private:
    // A reading as its line (a year of them is some 40 MB this way).
    struct Entry {
        std::string line;
        bool onDisk = false;
    };
    bool appendLine(const std::string& path, const std::string& line, bool& cut);
    void writeQueued();

    FileSystem& files_;
    std::string path_, donePath_;
    std::size_t max_;
    std::deque<Entry> queue_;
    std::size_t dropped_ = 0;
    std::size_t unwritten_ = 0;
    bool outboxCut_ = false, doneCut_ = false;  // the file ends in a line cut short
    std::string lastError_;
};

}  // namespace ravelin
