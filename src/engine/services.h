// Operating-system services the core uses, each behind an interface with a real
// back end (platform/) and test doubles (tests/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ravelin {

// Which file, not merely which name (its device and inode), and how long it is.
struct FileMark {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    bool operator==(const FileMark&) const = default;
};

// A file opened for appending. write() returns the bytes written (possibly fewer
// than asked) or -1 with the reason in error().
class AppendFile {
public:
    virtual ~AppendFile() = default;
    virtual long write(const char* data, std::size_t size) = 0;
    virtual bool sync() = 0;   // data on disk before the file is let go
    virtual bool close() = 0;
    virtual std::string error() const = 0;
    // The open file's identity and size now; false with the reason in error().
    virtual bool mark(FileMark& out) = 0;
    // The open file's last byte, -1 when it is empty; false with the reason in error()
    // when it cannot be read (a file that may be written but not read).
    virtual bool lastByte(int& byte) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens for appending, creating a missing file; nullptr with the reason in `error`.
    virtual std::unique_ptr<AppendFile> openAppend(const std::string& path, std::string& error) = 0;
    // Creates the folder and its missing parents; true when it exists afterwards.
    virtual bool createDirectories(const std::string& path, std::string& error) = 0;
    // Opens (creating when absent, keeping contents) and holds a file; false on failure.
    virtual bool holdOpen(const std::string& path, std::string& error) = 0;
    virtual void release(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual bool remove(const std::string& path) = 0;
    // The whole file into `contents`; false with the reason in `error`.
    virtual bool readAll(const std::string& path, std::string& contents, std::string& error) = 0;
};

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;  // local time
};

// The clock of the messages' time stamps, in UTC.
class UtcClock {
public:
    virtual ~UtcClock() = default;
    virtual LocalDateTime utcNow() const = 0;
};

// One looping sound for the whole application: a new start replaces the sound
// playing, a stop silences whatever plays.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // `fileName` is relative to the working directory ("daiichi.wav", "daini.wav").
    virtual void playLoop(int stage, const std::string& fileName) = 0;
    virtual void stop() = 0;
};

}  // namespace ravelin
