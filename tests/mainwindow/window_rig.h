// The main window wired to a monitor over the test doubles, as the window tests drive it:
// typing, clicking, starting and feeding seconds.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <string>
#include <string_view>
#include <vector>

#include "control/monitor.h"
#include "fake_dialogs.h"
#include "support/fakes.h"
#include "ui/form1.h"

namespace ravelin::test {

struct WindowRig {
    FakeDialogs dialogs;
    Form1 window{dialogs};
    FakeDevice device;
    MemoryFileSystem files;
    FixedClock clock;
    RecordingPlayer player;
    Monitor monitor{window, window, MonitorServices{device, files, clock, player, nullptr}};

    WindowRig() {
        window.attach(Form1::Services{&monitor, &player, nullptr});
        monitor.load();
    }
    void type(Box box, const std::string& text) { window.box(box)->setText(QString::fromStdString(text)); }
    void click(std::string_view name) { QTest::mouseClick(window.button(name), Qt::LeftButton); }
    bool start(const std::string& sensitivity = "120") {
        type(Box::Text7, sensitivity);
        click("cmdRec");
        device.deliverAll();
        return device.recording;
    }
    void second(const std::vector<std::uint8_t>& samples) {
        device.fill(samples);
        device.deliverAll();
    }
    std::string status() const { return window.statusLabel()->text().toStdString(); }
};

}  // namespace ravelin::test
