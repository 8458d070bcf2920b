#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/mqtt_support.h"
#include "outputs/station_messages.h"
#include "platform/posix_files.h"

using namespace ravelin;

namespace {
std::string writeFile(const std::string& name, const std::string& text, mode_t mode) {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/ravelin-pw-XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    const std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
}
}  // namespace

TEST(PasswordFile, ReadsTheFirstLineOfAPrivateFile) {
    std::string password, error;
    ASSERT_TRUE(readPasswordFile(writeFile("ok", "s3cret\r\nsecond line\n", 0600), password, error)) << error;
    EXPECT_EQ(password, "s3cret");
    ASSERT_TRUE(readPasswordFile(writeFile("nonl", "no newline", 0400), password, error)) << error;
    EXPECT_EQ(password, "no newline");
}

TEST(PasswordFile, RefusesAFileOthersCanReachWithoutSayingThePassword) {
    for (const mode_t mode : {0644, 0640, 0604, 0620}) {
        std::string password, error;
        const std::string path = writeFile("open" + std::to_string(mode), "hunter2\n", mode);
        EXPECT_FALSE(readPasswordFile(path, password, error)) << mode;
        EXPECT_NE(error.find("chmod 600 " + path), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos);
        EXPECT_TRUE(password.empty());
    }
}

TEST(PasswordFile, RefusesMissingEmptyAndNonRegularFiles) {
    std::string password, error;
    EXPECT_FALSE(readPasswordFile("/nonexistent/pw", password, error));
    EXPECT_NE(error.find("/nonexistent/pw"), std::string::npos);
    EXPECT_FALSE(readPasswordFile(writeFile("empty", "\n", 0600), password, error));
    EXPECT_NE(error.find("no password"), std::string::npos);
    EXPECT_FALSE(readPasswordFile("/tmp", password, error));
    // A named pipe nobody writes to is refused at once rather than waited on.
    const std::string fifo = writeFile("fifo-placeholder", "x", 0600) + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readPasswordFile(fifo, password, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos);
    ::unlink(fifo.c_str());
}

TEST(SystemUtcClock, GivesAPlausibleUtcTime) {
    const LocalDateTime t = SystemUtcClock().utcNow();
    EXPECT_GE(t.year, 2024);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_EQ(utcTimeText(t).size(), 20u);
}
