#include "outputs/csv_log.h"

#include <set>

namespace ravelin {

namespace {
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}
}  // namespace

bool CsvLog::append(const LogRecord& record) {
    pending_.push_back(Pending{record, record.line(), 0, false});
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
    while (p.written < p.bytes.size()) {
        const long n = file->write(p.bytes.data() + p.written, p.bytes.size() - p.written);
        if (n <= 0) {
            lastError_ = p.record.path + ": " + (n < 0 ? file->error() : std::string("nothing written"));
            file->close();
            return false;
        }
        p.written += static_cast<std::size_t>(n);
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

}  // namespace ravelin
