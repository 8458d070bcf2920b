// The 設定 window and the saved settings, offscreen: the file's round trip and its bad
// lines, the choices applied to the window and the run, the device switched at the
// next 開始, the level meter, and the tray's colour and tooltip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/config_file.h"
#include "app/history.h"
#include "app/level_meter.h"
#include "app/switchable_device.h"
#include "app/window_config.h"
#include "app/window_settings.h"
#include "engine/calibration.h"
#include "fake_dialogs.h"
#include "support/fakes.h"
#include "ui/form1.h"
#include "ui/settings_window.h"
#include "ui/tray_icon.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

// A configuration folder of this process's own, as $XDG_CONFIG_HOME.
class ConfigHome {
public:
    ConfigHome() {
        std::filesystem::create_directories(root_);
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    ~ConfigHome() { std::filesystem::remove_all(root_); }
    std::string file() const { return root_ + "/ravelin/ravelin.conf"; }
    void write(const std::string& text) const {
        std::filesystem::create_directories(root_ + "/ravelin");
        std::ofstream(file()) << text;
    }
    std::string read() const {
        std::ifstream in(file());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string root_ = ::testing::TempDir() + "ravelin-settings-test-" + std::to_string(::getpid());
};

WindowStart startWith(const std::vector<std::string>& arguments) {
    return windowStart(arguments, parseArguments(arguments));
}

SavedWindow typicalWindow() {
    SavedWindow s;
    for (const auto& row : kSettingTable) s.settings[static_cast<std::size_t>(row.setting)] = std::string(row.defaultText);
    s.settings[static_cast<std::size_t>(Setting::Sensitivity)] = "18.06";
    s.settings[static_cast<std::size_t>(Setting::Threshold)] = "40";
    for (const auto& row : kSwitchTable) s.switches[static_cast<std::size_t>(row.which)] = row.onAtLoad;
    s.switches[static_cast<std::size_t>(Switch::Alarm2)] = true;
    s.switches[static_cast<std::size_t>(Switch::TrendGraph)] = true;
    s.logFolder = "/tmp/logs/";
    s.deadTimeUs = "90";
    s.invert = true;
    return s;
}

class NoHistory : public HistoryOpener {
public:
    void open() override { ++opened; }
    int opened = 0;
};

}  // namespace

TEST(SavedSettings, WhatIsSavedIsWhatTheWindowStartsWithAndTheCommandLineWins) {
    ConfigHome home;
    ASSERT_EQ(windowConfigPath(Options{}), home.file());
    std::string error;
    ASSERT_TRUE(writeWindowConfig(home.file(), windowConfigText(typicalWindow()), error)) << error;

    const WindowStart start = startWith({"ravelin"});
    EXPECT_TRUE(start.fileRead);
    EXPECT_TRUE(start.badLines.empty()) << start.badLines.front();
    const Options& o = start.parsed.options;
    EXPECT_EQ(settingOption(o, Setting::Sensitivity), "18.06");
    EXPECT_EQ(settingOption(o, Setting::Threshold), "40");
    EXPECT_EQ(settingOption(o, Setting::Alarm1Limit), "0.27");
    EXPECT_EQ(o.logFolder, "/tmp/logs/");
    EXPECT_EQ(o.deadTimeUs, "90");
    EXPECT_TRUE(o.invert);
    EXPECT_TRUE(o.graph);
    EXPECT_FALSE(o.test);
    // The limit ticks its stage as the option does; the saved tick says otherwise.
    EXPECT_EQ(start.alarmTicked[0], false);
    EXPECT_EQ(start.alarmTicked[1], true);

    const WindowStart over = startWith({"ravelin", "--threshold", "60", "--alarm1", "0.5", "--tube", "LND 712"});
    EXPECT_EQ(settingOption(over.parsed.options, Setting::Threshold), "60");
    EXPECT_EQ(settingOption(over.parsed.options, Setting::Sensitivity), "18");
    EXPECT_FALSE(over.alarmTicked[0]) << "--alarm1 ticks stage 1 whatever the file says";
    EXPECT_EQ(startWith({"ravelin", "--no-log"}).parsed.options.logFolder, std::nullopt);

    // --history without DIR opens the saved log folder.
    EXPECT_EQ(savedLogFolder(Options{}), "/tmp/logs/");

    // The headless reader refuses the window's own keys, as before.
    const ParseResult headless = parseOptions({"ravelin", "--headless", "--config", home.file()});
    EXPECT_NE(headless.error.find("is not a setting of the configuration file"), std::string::npos) << headless.error;
}

TEST(SavedSettings, BadLinesAreReportedWithTheirLineAndTheGoodOnesUsed) {
    ConfigHome home;
    home.write("threshold = 45\nno equals sign\ntube = SBM-99\nthreshold = 46\ngraph = maybe\nskip = 7\nstats = true\n");
    const WindowStart start = startWith({"ravelin"});
    ASSERT_EQ(start.badLines.size(), 5u);
    EXPECT_EQ(start.badLines[0], home.file() + ":2: not a \"key = value\" line: no equals sign");
    EXPECT_EQ(start.badLines[1], home.file() + ":4: \"threshold\" is given twice (first on line 1)");
    EXPECT_EQ(start.badLines[2].rfind(home.file() + ":3: --tube: unknown tube", 0), 0u) << start.badLines[2];
    EXPECT_EQ(start.badLines[3], home.file() + ":5: graph takes true or false, not \"maybe\"");
    EXPECT_EQ(start.badLines[4], home.file() + ":7: --stats works only with --headless");
    EXPECT_EQ(settingOption(start.parsed.options, Setting::Threshold), "45");
    EXPECT_EQ(settingOption(start.parsed.options, Setting::Skip), "7");

    // Good alone but not together: the command line alone.
    home.write("no-log = true\nlog-folder = /tmp\nskip = 7\n");
    const WindowStart clash = startWith({"ravelin"});
    ASSERT_EQ(clash.badLines.size(), 1u);
    EXPECT_EQ(clash.badLines[0], home.file() + ": --no-log and --log-folder cannot be given together");
    EXPECT_FALSE(settingOption(clash.parsed.options, Setting::Skip));

    // A recording keeps its own rate; --config names another file.
    home.write("rate = 44100\n");
    EXPECT_EQ(startWith({"ravelin", "--input", "file:x.wav"}).parsed.options.rate, std::nullopt);
    EXPECT_EQ(startWith({"ravelin", "--input", "sim"}).parsed.options.rate, 44100);
    EXPECT_EQ(startWith({"ravelin", "--config", "/nonexistent/r.conf"}).path, "/nonexistent/r.conf");
    EXPECT_FALSE(startWith({"ravelin", "--config", "/nonexistent/r.conf"}).fileRead);
}

TEST(SavedSettings, SavingNamesTheBoxThatDoesNotConvert) {
    SavedWindow s = typicalWindow();
    EXPECT_EQ(unconvertedBox(s), "");
    s.settings[static_cast<std::size_t>(Setting::Sensitivity)] = "";
    EXPECT_EQ(unconvertedBox(s), "") << "an empty sensitivity is left out";
    EXPECT_EQ(windowConfigText(s).find("sensitivity"), std::string::npos);
    s.settings[static_cast<std::size_t>(Setting::Sensitivity)] = "0";
    EXPECT_EQ(unconvertedBox(s), "GM菅γ線感度");
    s = typicalWindow();
    s.settings[static_cast<std::size_t>(Setting::DeadBand)] = "40000";
    EXPECT_EQ(unconvertedBox(s), "不感帯");
    s = typicalWindow();
    s.settings[static_cast<std::size_t>(Setting::Alarm2Limit)] = "x";
    EXPECT_EQ(unconvertedBox(s), "第二段警報上限値");
    s = typicalWindow();
    s.deadTimeUs = "20000";
    EXPECT_EQ(unconvertedBox(s), "不感時間");
    // Log unticked: no-log, and no folder beside it.
    s = typicalWindow();
    s.switches[static_cast<std::size_t>(Switch::Log)] = false;
    const std::string text = windowConfigText(s);
    EXPECT_NE(text.find("no-log = true\n"), std::string::npos);
    EXPECT_EQ(text.find("log-folder"), std::string::npos);
}

TEST(SwitchableDevice, TheNewChoiceIsOpenedAtTheNextStartAndTalksToTheSameListener) {
    auto first = std::make_unique<FakeDevice>();
    FakeDevice* firstSeen = first.get();
    SwitchableDevice device(std::move(first));
    device.Open();
    EXPECT_EQ(firstSeen->calls.back(), "Open");

    FakeDevice* second = nullptr;
    device.changeTo([&second](std::string&) {
        auto d = std::make_unique<FakeDevice>();
        second = d.get();
        return d;
    });
    firstSeen->recording = true;
    device.Open();
    EXPECT_EQ(second, nullptr) << "a recording device is not swapped";
    firstSeen->recording = false;
    device.Open();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->calls, std::vector<std::string>{"Open"});

    device.changeTo([](std::string& error) {
        error = "\"x\" is not a source";
        return std::unique_ptr<CaptureDevice>();
    });
    EXPECT_THROW(device.Open(), CaptureError);
}

TEST(LevelMeter, TheLoudestSampleFromTheMiddle) {
    EXPECT_EQ(levelPercent(std::vector<std::uint8_t>(100, 128), 100), 0);
    std::vector<std::uint8_t> click(100, 128);
    click[50] = 0;
    EXPECT_EQ(levelPercent(click, 100), 100);
    EXPECT_EQ(levelPercent(click, 50), 0) << "only the samples delivered count";
    click[50] = 192;
    EXPECT_EQ(levelPercent(click, 100), 50);
}

TEST(TrayIcon, ColourByTheTwoLimitsAndTheDoseInTheTooltip) {
    EXPECT_EQ(trayLevel(std::nullopt, 0.27f, 2.7f), TrayLevel::NoDose);
    EXPECT_EQ(trayLevel(0.1f, 0.27f, 2.7f), TrayLevel::Below);
    EXPECT_EQ(trayLevel(0.27f, 0.27f, 2.7f), TrayLevel::OverLimit1);
    EXPECT_EQ(trayLevel(3.0f, 0.27f, 2.7f), TrayLevel::OverLimit2);
    EXPECT_EQ(trayLevel(3.0f, std::nullopt, std::nullopt), TrayLevel::Below);

    TrayIcon tray([] { return std::pair<std::optional<float>, std::optional<float>>{0.27f, 2.7f}; });
    EXPECT_EQ(tray.toolTip().toStdString(), "Ravelin — 線量率はまだありません");
    SecondReport report{};
    report.dose = 0.5f;
    report.doseUsable = true;
    tray.secondDone(report);
    EXPECT_EQ(tray.toolTip().toStdString(), "Ravelin — " + doseText(report) + " µSv/h");
    EXPECT_EQ(tray.level(), TrayLevel::OverLimit1);
}

struct SettingsRig {
    ConfigHome home;
    FakeDialogs dialogs;
    Form1 window{dialogs};
    FakeDevice* inner = nullptr;
    SwitchableDevice device{[this] {
        auto d = std::make_unique<FakeDevice>();
        inner = d.get();
        return d;
    }()};
    MemoryFileSystem files;
    FixedClock clock;
    RecordingPlayer player;
    Monitor monitor{window, window, MonitorServices{device, files, clock, player, nullptr}};
    NoHistory history;
    Options options;
    WindowSettings settings{window, monitor, device, history, [this] {
                                options.input = "sim:0";
                                return options;
                            }(),
                            options, home.file()};
    SettingsRig() {
        window.attach(Form1::Services{&monitor, &player, nullptr});
        monitor.load();
        settings.open();
    }
    SettingsWindow& w() { return *settings.settingsWindow(); }
    std::string message() { return w().findChild<QLabel*>("messageLabel")->text().toStdString(); }
};

TEST(SettingsWindow, ATubeDeadTimeAndTheAssistantsProposalGoWhereTheirOptionsGo) {
    SettingsRig rig;
    EXPECT_TRUE(rig.window.settingsButton()->isVisibleTo(&rig.window));
    emit rig.w().tubeChosen("SBM-19");
    EXPECT_EQ(rig.window.text(Setting::Sensitivity), "122");
    EXPECT_NE(rig.w().findChild<QLabel*>("tubeSource")->text().toStdString().find("メーカーのパスポート"),
              std::string::npos);

    rig.w().setDeadTime("90");
    emit rig.w().deadTimeChosen();
    EXPECT_EQ(rig.monitor.state().DeadTime, 90e-6);
    rig.w().setDeadTime("10001");
    emit rig.w().deadTimeChosen();
    EXPECT_EQ(rig.monitor.state().DeadTime, 90e-6) << "refused as --dead-time-us refuses it";
    EXPECT_NE(rig.message().find("10001"), std::string::npos);
    rig.w().setDeadTime("");
    emit rig.w().deadTimeChosen();
    EXPECT_EQ(rig.monitor.state().DeadTime, std::nullopt);

    CalibrationResult proposal;
    proposal.found = true;
    proposal.threshold = 90;
    proposal.deadBand = 12;
    proposal.skip = 4;
    proposal.upward = true;
    rig.settings.accept(proposal, false);
    EXPECT_EQ(rig.window.text(Setting::Threshold), "90");
    EXPECT_EQ(rig.window.text(Setting::DeadBand), "12");
    EXPECT_EQ(rig.window.text(Setting::Skip), "4");
    EXPECT_TRUE(rig.w().invert());
    EXPECT_TRUE(rig.settings.choices().invert);
    // After --invert, upward samples mean the source dips: the proposal keeps the inversion.
    proposal.upward = false;
    proposal.recommendedRate = 44100;
    rig.settings.accept(proposal, true);
    EXPECT_TRUE(rig.settings.choices().invert);
    EXPECT_NE(rig.message().find("44100 Hz"), std::string::npos) << rig.message();
    EXPECT_EQ(rig.settings.choices().rate, std::nullopt) << "the rate stays the person's choice";

    emit rig.w().historyRequested();
    EXPECT_EQ(rig.history.opened, 1);
}

TEST(SettingsWindow, SaveRefusesABadBoxWritesTheFileAndDefaultsRemoveIt) {
    SettingsRig rig;
    rig.window.setText(Box::Text3, "abc");
    EXPECT_FALSE(rig.settings.save());
    EXPECT_NE(rig.message().find("しきい値"), std::string::npos) << rig.message();
    EXPECT_FALSE(std::filesystem::exists(rig.home.file()));

    rig.window.setProblem(Problem{ProblemKey::SavedSettingsLine, {}, rig.home.file() + ":2", "x"});
    rig.window.setText(Box::Text3, "44");
    rig.window.setText(Box::Text7, "18.06");
    rig.window.setChecked(Check::Check5, true);
    rig.monitor.state().SaveFolder = "/tmp/logs/";
    ASSERT_TRUE(rig.settings.save()) << rig.message();
    EXPECT_FALSE(rig.window.problems().count(ProblemKey::SavedSettingsLine)) << "the saved file has no bad line";
    const std::string text = rig.home.read();
    for (const char* line : {"threshold = 44\n", "sensitivity = 18.06\n", "graph = true\n", "log-folder = /tmp/logs/\n",
                             "input = sim:0\n", "alarm1-ticked = false\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

    rig.settings.restoreDefaults();
    EXPECT_FALSE(std::filesystem::exists(rig.home.file()));
    EXPECT_EQ(rig.window.text(Setting::Threshold), "50");
    EXPECT_EQ(rig.window.text(Setting::Sensitivity), "");
    EXPECT_FALSE(rig.window.isChecked(Check::Check5));
    EXPECT_EQ(rig.window.text(Box::Text11), "μSVHData_nnnntthh.csv");
    EXPECT_EQ(rig.monitor.state().SaveFolder, "");
}
