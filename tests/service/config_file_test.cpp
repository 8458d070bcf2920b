// The configuration file's syntax and keys, and the journal stream test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/config_file.h"
#include "app/map_options.h"
#include "platform/journal_prefix.h"

namespace ravelin {
namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    std::string write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        return path_;
    }
    ParseResult parse(const std::string& text, std::vector<std::string> commandLine = {}) {
        write(text);
        std::vector<std::string> args{"ravelin", "--headless", "--config", path_};
        args.insert(args.end(), commandLine.begin(), commandLine.end());
        return parseOptions(args);
    }
    void TearDown() override { std::remove(path_.c_str()); }
    // One file a process: the cases run side by side under ctest -j.
    std::string path_ = ::testing::TempDir() + "ravelin-config-test-" + std::to_string(::getpid()) + ".conf";
};

TEST_F(ConfigFileTest, LinesCommentsBlanksAndValues) {
    std::vector<ConfigEntry> entries;
    std::string error;
    write("# a comment\n\n   # an indented one\r\nthreshold=40\r\n\tlog-folder =  /var/lib/a b#c  \nalarm2 =\n"
          "mqtt-prefix = home/a=b");
    ASSERT_TRUE(readConfigFile(path_, entries, error)) << error;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].key, "threshold");
    EXPECT_EQ(entries[0].value, "40");
    EXPECT_EQ(entries[0].line, 4);
    EXPECT_EQ(entries[1].value, "/var/lib/a b#c") << "a value is the text between the blanks, '#' included";
    EXPECT_EQ(entries[2].value, "");
    EXPECT_EQ(entries[3].value, "home/a=b") << "the first '=' splits; a last line needs no newline";
}

TEST_F(ConfigFileTest, TheWebServersKeysAreCheckedLikeTheirOptions) {
    ParseResult r = parse("http = 0.0.0.0:8080\nhttp-clients = 16\n");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.http, "0.0.0.0:8080");
    EXPECT_EQ(r.options.httpClients, 16u);
    EXPECT_EQ(parse("http = 8080\n", {"--http", "[::1]:9090"}).options.http, "[::1]:9090");
    r = parse("http = localhost:80\n");
    EXPECT_NE(r.error.find(":1: --http: \"localhost\" is not a numeric IPv4 address"), std::string::npos) << r.error;
    EXPECT_NE(parse("http-clients = 0\n").error.find("--http-clients"), std::string::npos);
    EXPECT_NE(parse("http-clients = 12x\n").error.find("--http-clients"), std::string::npos);
    EXPECT_FALSE(parse("sensitivity = 29\n").options.http) << "off unless asked for";
}

TEST_F(ConfigFileTest, TheFileComesFirstAndTheCommandLineWins) {
    const ParseResult r = parse("threshold = 40\nsensitivity = 29\nno-log = true\nfast = false\n",
                                {"--threshold", "41"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(settingOption(r.options, Setting::Threshold), "41");
    EXPECT_EQ(settingOption(r.options, Setting::Sensitivity), "29");
    EXPECT_TRUE(r.options.noLog);
    EXPECT_FALSE(r.options.fast);
    // Settings that cannot go together: the command line's one replaces the file's.
    EXPECT_EQ(parse("no-log = true\n", {"--log-folder", "/tmp/x"}).options.logFolder, "/tmp/x");
    const ParseResult both = parse("log-folder = /tmp/y\n", {"--no-log"});
    EXPECT_EQ(both.error, "");
    EXPECT_TRUE(both.options.noLog);
    EXPECT_FALSE(both.options.logFolder);
}

TEST_F(ConfigFileTest, RefusedFilesNameTheFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"threshold = 1\nthreshold = 2\n", ":2: \"threshold\" is given twice (first on line 1)"},
        {"# x\njust words\n", ":2: not a \"key = value\" line: just words"},
        {"= 5\n", ":1: not a \"key = value\" line"},
        {"[ravelin]\n", ":1: not a \"key = value\" line"},
        {"thresold = 5\n", ":1: \"thresold\" is not a setting"},
        {"--threshold = 5\n", ":1: \"--threshold\" is not a setting"},
        {"\n\nhelp = true\n", ":3: \"help\" is not a setting"},
        {"config = other.conf\n", ":1: \"config\" is not a setting"},
        {"headless = true\n", ":1: \"headless\" is not a setting"},
        {"start = true\n", ":1: \"start\" is not a setting"},
        {"list-inputs = true\n", ":1: \"list-inputs\" is not a setting"},
        {"password = hunter2\n", ":1: a password does not belong"},
        {"mqtt-password = hunter2\n", ":1: a password does not belong"},
        {"no-log = yes\n", ":1: no-log takes true or false, not \"yes\""},
        {"no-log = True\n", ":1: no-log takes true or false"},
        {"seconds = 0\n", ":1: --seconds: \"0\" is not a whole number"},
        {"seed = x\n", ":1: --seed: \"x\""},
        {"log-folder =\n", ":1: --log-folder: the folder name is empty"},
    };
    for (const auto& [text, want] : cases) {
        const std::string error = parse(text).error;
        EXPECT_EQ(error.rfind(path_, 0), 0u) << text << " -> " << error;
        EXPECT_NE(error.find(want), std::string::npos) << text << " -> " << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << error;
    }
    EXPECT_EQ(parse("no-log = true\nlog-folder = /tmp\n").error, "--no-log and --log-folder cannot be given together");
}

TEST_F(ConfigFileTest, UnreadableFilesAndTheWindow) {
    EXPECT_EQ(parseOptions({"ravelin", "--headless", "--config", "/nonexistent/x.conf"}).error,
              "/nonexistent/x.conf: No such file or directory");
    EXPECT_EQ(parseOptions({"ravelin", "--headless", "--config", "/"}).error, "/: Is a directory");
    write(std::string(2 << 20, '#'));
    EXPECT_NE(parseOptions({"ravelin", "--headless", "--config", path_}).error.find("larger than 1 MiB"),
              std::string::npos);
    write("threshold = 40\n");
    // The window reads its file itself, once it knows the file is its own.
    const ParseResult window = parseOptions({"ravelin", "--config", path_});
    EXPECT_EQ(window.error, "");
    EXPECT_EQ(window.options.config, path_);
    EXPECT_FALSE(settingOption(window.options, Setting::Threshold));
}

TEST_F(ConfigFileTest, EveryOptionWithAValueIsAKeyButModesAreNot) {
    int keys = 0;
    for (const auto& o : optionTable()) {
        if (!isConfigKey(o)) continue;
        ++keys;
        EXPECT_STRNE(o.name, "config");
    }
    EXPECT_GE(keys, 15);
}

TEST(JournalStream, NamesTheFileOnTheDescriptor) {
    const std::string path = ::testing::TempDir() + "ravelin-journal-test-" + std::to_string(::getpid());
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    struct stat st {};
    ASSERT_EQ(::fstat(fileno(f), &st), 0);
    const std::string right = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    EXPECT_TRUE(isJournalStream(right.c_str(), fileno(f)));
    EXPECT_FALSE(isJournalStream(nullptr, fileno(f)));
    EXPECT_FALSE(isJournalStream("", fileno(f)));
    EXPECT_FALSE(isJournalStream((std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1)).c_str(), fileno(f)));
    EXPECT_FALSE(isJournalStream((right + "x").c_str(), fileno(f)));
    std::fclose(f);
    std::remove(path.c_str());
}

TEST_F(ConfigFileTest, TheMapsAreKeysTheirSecretsAreNotAndTheyAreCheckedTogetherOnlyAtStart) {
    const ParseResult r = parse("safecast = 301\nsafecast-key-file = /etc/ravelin/safecast-key\nlatitude = -35.25\n"
                                "longitude = 139\nradmon = me\nradmon-password-file = /etc/ravelin/rp\n"
                                "outbox-max = 10\nupload-timeout = 5\n");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.maps.safecast, "301");
    EXPECT_EQ(r.options.maps.latitude, "-35.25");
    EXPECT_EQ(r.options.maps.outboxMax, 10);
    EXPECT_EQ(mapOptionsError(r.options.maps), "");
    EXPECT_NE(parse("radmon-password = x\n").error.find("a password does not belong"), std::string::npos);
    EXPECT_NE(parse("safecast-key = x\n").error.find("is not a setting"), std::string::npos);
    for (const auto& [line, message] : std::vector<std::pair<std::string, std::string>>{
             {"latitude = 90.5", "--latitude: \"90.5\" is not decimal degrees from -90 to 90"},
             {"longitude = 1e2", "is not decimal degrees"},
             {"safecast = 12a", "is not a device id"},
             {"gmcmap = x", "is not an account id"},
             {"safecast-url = ftp://x", "is not an http:// or https:// address"},
             {"outbox-max = 0", "--outbox-max"},
             {"upload-timeout = 301", "--upload-timeout"}})
        EXPECT_NE(parse(line + "\n").error.find(message), std::string::npos) << line;
    MapOptions m;
    m.latitude = "1";
    EXPECT_EQ(mapOptionsError(m), "--latitude needs --safecast");
    m.safecast = "1";
    EXPECT_EQ(mapOptionsError(m), "--safecast needs --safecast-key-file");
    m.safecastKeyFile = "k";
    EXPECT_EQ(mapOptionsError(m), "--safecast needs --latitude and --longitude");
    m.longitude = "2";
    EXPECT_EQ(mapOptionsError(m), "");
}

}  // namespace
}  // namespace ravelin
