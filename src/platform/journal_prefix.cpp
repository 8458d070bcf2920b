#include "platform/journal_prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "outputs/csv_log.h"

namespace ravelin {

bool isJournalStream(const char* journalStream, int fd) {
    if (!journalStream) return false;
    std::uintmax_t device = 0, inode = 0;
    char end = 0;
    if (std::sscanf(journalStream, "%ju:%ju%c", &device, &inode, &end) != 2) return false;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && static_cast<std::uintmax_t>(st.st_dev) == device &&
           static_cast<std::uintmax_t>(st.st_ino) == inode;
}

const char* journalPrefix(Priority priority) {
    // Decided once: stderr is not replaced while the program runs.
    static const bool journal = isJournalStream(std::getenv("JOURNAL_STREAM"), STDERR_FILENO);
    if (!journal) return "";
    switch (priority) {
    case Priority::Error: return "<3>";
    case Priority::Warning: return "<4>";
    case Priority::Notice: return "<5>";
    }
    return "";
}

void say(Priority priority, const std::string& text) {
    std::fprintf(stderr, "%sravelin: %s\n", journalPrefix(priority), text.c_str());
}

void sayUnwritten(const CsvLog& log) {
    for (const auto& line : log.unwrittenLines()) say(Priority::Error, line);
}

}  // namespace ravelin
