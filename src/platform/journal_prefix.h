// The journald priority prefix of a problem line on stderr, used only when stderr is
// the journal, so that a headless run elsewhere writes exactly what it always has.
#pragma once

#include <string>

namespace ravelin {

class CsvLog;

enum class Priority { Error = 3, Warning = 4, Notice = 5 };

// "<3>", "<4>" or "<5>" when stderr is the journal's stream, else "".
const char* journalPrefix(Priority priority);

// Whether `journalStream` (systemd's $JOURNAL_STREAM, "device:inode") names the file open on fd.
bool isJournalStream(const char* journalStream, int fd);

// One line "ravelin: TEXT" on stderr, with its priority prefix when stderr is the journal.
void say(Priority priority, const std::string& text);

// Each record the log could not write, as an error line, so that none is lost unseen.
void sayUnwritten(const CsvLog& log);

}  // namespace ravelin
