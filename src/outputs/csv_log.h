// The per-minute CSV log: one record a minute appended to the file of the day.
// Append-only and loses nothing: a record that cannot be written is kept and
// retried, in order within its file, into the file of its own date. A record is never
// merged with another line: a file found ending in a cut line has that line closed first.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "engine/pipeline_steps.h"
#include "engine/services.h"

namespace ravelin {

class CsvLog : public RecordLog {
public:
    explicit CsvLog(FileSystem& files) : files_(files) {}

    // Queues the record and writes every record still pending, oldest first.
    // Returns true when nothing is left pending.
    bool append(const LogRecord& record) override;
    // Tries the pending records again (at stop, at exit).
    bool retry() override;

    struct Pending {
        LogRecord record;
        std::string bytes;
        // A record partly written goes on from here, but only in the very file it was
        // written to, at the size it had then (`writtenIn`); elsewhere it is written whole.
        std::size_t written = 0;
        FileMark writtenIn;
        bool synced = false;
        // Saving into another folder that stopped partway: the file and how far it got, so
        // that a second try into the same file completes the line instead of tearing it.
        std::string savingTo;
        std::size_t saved = 0;
        FileMark savedIn;
    };
    const std::deque<Pending>& pending() const { return pending_; }
    // Writes every pending record, whole, into the file of the same name in `folder`
    // (the log's own files cannot be written), oldest first. A record written there is
    // no longer pending; at the first failure the rest stay, with the reason in `error`
    // (a record cut short there is completed, not written again, by a try into the same file
    // as it was left; a cut line found at the end of a file is closed before a record).
    bool writePendingInto(const std::string& folder, std::string& error);
    // One line a pending record, "unwritten record for PATH: LINE" (LINE without its CR LF).
    std::vector<std::string> unwrittenLines() const;
    std::size_t unwrittenCount() const override { return pending_.size(); }
    const std::string& lastError() const override { return lastError_; }
    std::vector<std::string> takeCutFiles() override;

private:
    bool writeOne(Pending& p);
    // Writes `bytes` on from `done` as a line of its own: a cut line the file ends in is
    // closed first (and its path kept for takeCutFiles), and `done` goes on only in the
    // file `at` marks, as it was left. `at` follows the progress.
    bool appendLine(AppendFile& file, const std::string& path, const std::string& bytes, std::size_t& done,
                    FileMark& at, std::string& error);

    FileSystem& files_;
    std::deque<Pending> pending_;
    std::string lastError_;
    std::vector<std::string> cutFiles_;
};

}  // namespace ravelin
