// A folder of CSV logs in memory, for the history's tests.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "history/history_log.h"

namespace ravelin::test {

// A folder in memory; a file's bytes can grow between reads.
class FakeLogFolder : public LogFolder {
public:
    bool list(std::vector<std::string>& names, std::string& error) override {
        if (unreadable) {
            error = "denied";
            return false;
        }
        for (const auto& [name, bytes] : files) names.push_back(name);
        return true;
    }
    bool readFrom(const std::string& name, std::uint64_t offset, std::string& bytes, std::string&) override {
        ++reads;
        bytes = files.at(name).substr(std::min<std::size_t>(offset, files.at(name).size()));
        return true;
    }
    std::map<std::string, std::string> files;
    bool unreadable = false;
    int reads = 0;
};

}  // namespace ravelin::test
