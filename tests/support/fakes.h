// Test doubles for the core's interfaces. None of them is used by the product.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "control/monitor.h"
#include "engine/capture_device.h"
#include "engine/face.h"
#include "engine/services.h"
#include "engine/setting_table.h"
#include "outputs/alarms.h"
#include "outputs/service_status.h"

namespace ravelin::test {

// Boxes and checks in maps, with the window's default texts.
class FakeFace : public MonitorFace, public ControlFace {
public:
    FakeFace() {
        texts[Box::Text1] = "0";
        texts[Box::Text2] = "0";
        texts[Box::Text6] = "0";
        texts[Box::Text8] = "0";
        for (const auto& row : kSettingTable) texts[row.box] = std::string(row.defaultText);
        for (const auto& row : kSwitchTable) checks[row.check] = row.onAtLoad;
    }
    using MonitorFace::isChecked;
    using MonitorFace::setText;
    using MonitorFace::text;
    std::string text(Box box) const override { return texts.count(box) ? texts.at(box) : std::string{}; }
    void setText(Box box, const std::string& t) override {
        texts[box] = t;
        ++writes[box];
    }
    bool isChecked(Check c) const override { return checks.count(c) && checks.at(c); }
    void setProblem(const Problem& p) override { problems[p.key] = p; }
    void clearProblem(ProblemKey key) override { problems.erase(key); }
    void captureStateChanged(bool recording) override { states.push_back(recording); }
    void showMessage(const std::string& t) override { messages.push_back(t); }

    bool hasProblem(ProblemKey key) const { return problems.count(key) != 0; }

    std::map<Box, std::string> texts;
    std::map<Box, int> writes;
    std::map<Check, bool> checks;
    std::map<ProblemKey, Problem> problems;
    std::vector<bool> states;
    std::vector<std::string> messages;
};

// A capture device whose buffers the test fills and whose events the test delivers
// one at a time with deliverNext(), as an event loop would.
class FakeDevice : public CaptureDevice {
public:
    std::vector<std::string> calls;  // the calls the system made, in order
    std::int32_t bufferSize = 22050;
    std::int16_t bufferCount = 16;
    bool failOpen = false;
    bool failOpenUnreadable = false;
    bool recording = false;
    std::string failureText;

    void Open() override {
        calls.push_back("Open");
        if (failOpen) throw CaptureError("no input");
        if (failOpenUnreadable) throw CaptureError("not a recording", CaptureError::Kind::Unreadable);
    }
    std::int32_t BufferSize() const override { return bufferSize; }
    std::int16_t BufferCount() const override { return bufferCount; }
    void QueueBuffer(std::int16_t index) override {
        calls.push_back("QueueBuffer " + std::to_string(index));
        queued.push_back(index);
    }
    void Start() override {
        calls.push_back("Start");
        recording = true;
        events_.push_back([this] { events()->StateChanged(); });
    }
    void Stop() override {
        calls.push_back("Stop");
        if (!recording) return;
        recording = false;
        events_.push_back([this] { events()->StateChanged(); });
    }
    bool IsRecording() const override { return recording; }
    void Close() override { calls.push_back("Close"); }
    void GetBufferData(std::vector<std::uint8_t>& out, std::int16_t index, std::int32_t byteCount) override {
        const auto& data = contents[index];
        const std::size_t n = std::min({out.size(), data.size(), static_cast<std::size_t>(byteCount)});
        std::memcpy(out.data(), data.data(), n);
    }
    std::string failure() const override { return failureText; }

    // Fills the next queued buffer and posts its BufferDone.
    void fill(const std::vector<std::uint8_t>& samples, std::int16_t stopFlag = 0) {
        const std::int16_t index = queued.front();
        queued.pop_front();
        contents[index] = samples;
        const auto count = static_cast<std::int32_t>(samples.size());
        events_.push_back([this, index, count, stopFlag] { events()->BufferDone(index, count, stopFlag); });
    }
    bool deliverNext() {
        if (events_.empty()) return false;
        auto e = std::move(events_.front());
        events_.pop_front();
        e();
        return true;
    }
    void deliverAll() {
        while (deliverNext()) {
        }
    }

    std::deque<std::int16_t> queued;
    std::map<std::int16_t, std::vector<std::uint8_t>> contents;

private:
    std::deque<std::function<void()>> events_;
};

// Files in memory, with failures the test switches on. Each file made gets an inode
// number of its own, so a file replaced under the same name is another file.
class MemoryFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, std::uint64_t> inodes;
    std::uint64_t nextInode = 1;
    std::set<std::string> unreadable;  // files that may be written but not read
    std::set<std::string> folders{""};
    std::set<std::string> held;
    bool failOpen = false, failSync = false, failMkdir = false, failHold = false;
    std::set<std::string> deniedFolders;  // files in these cannot be opened
    long writeLimit = -1;   // bytes one write() accepts, -1 for all
    int failWritesAfter = -1;  // writes that succeed before every later one fails, -1 never
    int opens = 0, syncs = 0;

    class File : public AppendFile {
    public:
        File(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        long write(const char* data, std::size_t size) override {
            if (fs_.failWritesAfter == 0) {
                err_ = "No space left on device";
                return -1;
            }
            if (fs_.failWritesAfter > 0) --fs_.failWritesAfter;
            std::size_t n = size;
            if (fs_.writeLimit >= 0) n = std::min<std::size_t>(n, static_cast<std::size_t>(fs_.writeLimit));
            fs_.files[path_].append(data, n);
            return static_cast<long>(n);
        }
        bool sync() override {
            ++fs_.syncs;
            if (fs_.failSync) err_ = "Input/output error";
            return !fs_.failSync;
        }
        bool close() override { return true; }
        std::string error() const override { return err_; }
        bool mark(FileMark& out) override {
            out = FileMark{1, fs_.inodes[path_], fs_.files[path_].size()};
            return true;
        }
        bool lastByte(int& byte) override {
            if (fs_.unreadable.count(path_)) {
                err_ = "Bad file descriptor";
                return false;
            }
            const std::string& bytes = fs_.files[path_];
            byte = bytes.empty() ? -1 : static_cast<unsigned char>(bytes.back());
            return true;
        }

    private:
        MemoryFileSystem& fs_;
        std::string path_;
        std::string err_;
    };

    std::unique_ptr<AppendFile> openAppend(const std::string& path, std::string& error) override {
        ++opens;
        const auto slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
        const bool denied = failOpen || deniedFolders.count(folder);
        if (denied || !folders.count(folder)) {
            error = denied ? "Permission denied" : "No such file or directory";
            return nullptr;
        }
        make(path);
        return std::make_unique<File>(*this, path);
    }
    // Creates the file when missing, as an open does.
    void make(const std::string& path) {
        if (files.count(path)) return;
        files[path];
        inodes[path] = nextInode++;
    }
    // Another file put in the place of `path` (as by a rename over it).
    void replace(const std::string& path, const std::string& bytes) {
        files[path] = bytes;
        inodes[path] = nextInode++;
    }
    // The folder and every file in it gone, as by rm -r.
    void removeFolder(const std::string& folder) {
        folders.erase(folder);
        for (auto it = files.begin(); it != files.end();) {
            if (it->first.rfind(folder + "/", 0) == 0) {
                inodes.erase(it->first);
                it = files.erase(it);
            } else {
                ++it;
            }
        }
    }
    bool createDirectories(const std::string& path, std::string& error) override {
        if (failMkdir) {
            error = "Permission denied";
            return false;
        }
        folders.insert(path);
        return true;
    }
    bool holdOpen(const std::string& path, std::string& error) override {
        if (failHold) {
            error = "Read-only file system";
            return false;
        }
        held.insert(path);
        make(path);
        return true;
    }
    void release(const std::string& path) override { held.erase(path); }
    bool exists(const std::string& path) override { return files.count(path) != 0; }
    bool remove(const std::string& path) override {
        inodes.erase(path);
        return files.erase(path) != 0;
    }
    bool readAll(const std::string& path, std::string& contents, std::string& error) override {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = path + ": No such file or directory";
            return false;
        }
        contents = it->second;
        return true;
    }
};

class FixedClock : public Clock {
public:
    LocalDateTime time{2012, 3, 5, 9, 41, 0};
    LocalDateTime now() const override { return time; }
};

// Records what the alarm player was asked to do.
class RecordingPlayer : public SoundPlayer {
public:
    std::vector<std::string> calls;  // "play daiichi.wav", "stop"
    std::string playing;             // the file looping now, empty when silent
    void playLoop(int, const std::string& file) override {
        calls.push_back("play " + file);
        playing = file;
    }
    void stop() override {
        calls.push_back("stop");
        playing.clear();
    }
};

// A monitor wired to fakes: the usual set-up of a pipeline test.
struct Rig {
    FakeFace face;
    FakeDevice device;
    MemoryFileSystem files;
    FixedClock clock;
    RecordingPlayer player;
    Monitor monitor{face, face, MonitorServices{device, files, clock, player, nullptr}};

    Rig() { monitor.load(); }
    // Presses Start with a sensitivity and delivers the StateChanged.
    bool start(const std::string& sensitivity = "120") {
        face.texts[Box::Text7] = sensitivity;
        const bool ok = monitor.start();
        device.deliverAll();
        return ok;
    }
    // One second of samples through the pipeline.
    void second(const std::vector<std::uint8_t>& samples) {
        device.fill(samples);
        device.deliverAll();
    }
    // One second holding `pulses` clean pulses (a dip to 20 and back to 128).
    void secondWithPulses(int pulses, std::size_t size = 22050) {
        std::vector<std::uint8_t> s(size, 128);
        for (int p = 0; p < pulses; ++p) {
            const std::size_t at = 100 + static_cast<std::size_t>(p) * 50;
            for (std::size_t j = 0; j < 5; ++j) s[at + j] = 20;
        }
        second(s);
    }
};

// A service manager that keeps what it is told, on a clock the test moves.
class FakeServiceManager : public ServiceManager {
public:
    explicit FakeServiceManager(std::int64_t watchdog = 0) : watchdog(watchdog) {}
    void notify(const std::string& assignments) override { told.push_back(assignments); }
    std::int64_t watchdogMicroseconds() const override { return watchdog; }
    std::int64_t nowMicroseconds() const override { return now; }

    std::int64_t watchdog;
    std::int64_t now = 0;
    std::vector<std::string> told;
};

}  // namespace ravelin::test
