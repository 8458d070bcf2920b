#include "outputs/csv_log.h"

#include <set>
#include <utility>

namespace ravelin {

namespace {
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}
std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes `bytes` on from `done`, which follows the progress. False, with the reason in
// `error`, when a write fails.
bool writeFrom(AppendFile& file, const std::string& bytes, std::size_t& done, std::string& error) {
    while (done < bytes.size()) {
        const long n = file.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            error = n < 0 ? file.error() : std::string("nothing written");
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether a record written up to `done` into the file marked `at` goes on in the file
// marked `now`: the same file, as long as it was left (a complete record, not yet synced,
// only needs it not cut shorter).
bool goesOn(const FileMark& now, const FileMark& at, bool complete) {
    if (now.device != at.device || now.inode != at.inode) return false;
    return complete ? now.size >= at.size : now.size == at.size;
}
}  // namespace

bool CsvLog::append(const LogRecord& record) {
    Pending p;
    p.record = record;
    p.bytes = record.line();
    pending_.push_back(std::move(p));
    return retry();
}

bool CsvLog::retry() {
    // Oldest first. A record that fails holds back the later records of its own file, so
    // the order in each file holds, but not those of other files: a folder that cannot be
    // written does not keep the records of a good one out of the log.
    std::set<std::string> blocked;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (blocked.count(it->record.path) == 0 && writeOne(*it)) {
            it = pending_.erase(it);
        } else {
            blocked.insert(it->record.path);
            ++it;
        }
    }
    return pending_.empty();
}

bool CsvLog::writeOne(Pending& p) {
    std::string error;
    const std::string folder = folderOf(p.record.path);
    if (!folder.empty() && !files_.createDirectories(folder, error)) {
        lastError_ = folder + ": " + error;
        return false;
    }
    auto file = files_.openAppend(p.record.path, error);
    if (!file) {
        lastError_ = p.record.path + ": " + error;
        return false;
    }
    if (!appendLine(*file, p.record.path, p.bytes, p.written, p.writtenIn, error)) {
        lastError_ = p.record.path + ": " + error;
        file->close();
        return false;
    }
    if (!p.synced) {
        if (!file->sync()) {
            lastError_ = p.record.path + ": " + file->error();
            file->close();
            return false;
        }
        p.synced = true;
    }
    file->close();
    return true;
}

bool CsvLog::writePendingInto(const std::string& folder, std::string& error) {
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    while (!pending_.empty()) {
        Pending& p = pending_.front();
        const std::string path = prefix + nameOf(p.record.path);
        auto file = files_.openAppend(path, error);
        if (!file) return false;
        if (p.savingTo != path) {
            p.savingTo = path;
            p.saved = 0;
        }
        if (!appendLine(*file, path, p.bytes, p.saved, p.savedIn, error)) {
            file->close();
            return false;
        }
        if (!file->sync() || !file->close()) {
            error = file->error();
            return false;
        }
        pending_.pop_front();
    }
    return true;
}

bool CsvLog::appendLine(AppendFile& file, const std::string& path, const std::string& bytes, std::size_t& done,
                        FileMark& at, std::string& error) {
    FileMark now;
    const bool known = file.mark(now);
    // The rest of a cut record belongs only to the very file it was cut in, as it was left.
    if (done > 0 && !(known && goesOn(now, at, done == bytes.size()))) done = 0;
    if (done == 0 && known && now.size > 0) {
        // A file that may not be read is appended to as it is: nothing to close is known.
        int last = '\n';
        if (file.lastByte(last) && last != '\n') {
            const std::string end = last == '\r' ? "\n" : "\r\n";
            std::size_t closed = 0;
            // A close cut short is found again, and finished, by the next try.
            if (!writeFrom(file, end, closed, error)) return false;
            cutFiles_.push_back(path);
        }
    }
    const bool whole = writeFrom(file, bytes, done, error);
    if (done > 0 && !file.mark(at)) at = FileMark{};  // unknown: the next try writes it whole
    return whole;
}

std::vector<std::string> CsvLog::takeCutFiles() {
    std::vector<std::string> found;
    found.swap(cutFiles_);
    return found;
}

std::vector<std::string> CsvLog::unwrittenLines() const {
    std::vector<std::string> lines;
    for (const auto& p : pending_) {
        std::string line = p.record.line();
        line.resize(line.size() - 2);  // without its CR LF
        lines.push_back("unwritten record for " + p.record.path + ": " + line);
    }
    return lines;
}

}  // namespace ravelin
