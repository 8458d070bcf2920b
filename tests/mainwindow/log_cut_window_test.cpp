// The window tells of a log line found cut: on its problem line and on stderr, both
// while counting and when unwritten records are saved into another folder at close.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "fake_dialogs.h"
#include "outputs/csv_log.h"
#include "support/fakes.h"
#include "ui/form1.h"
#include "window_rig.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
const std::string kName = "μSVHData20120305.csv";
const std::string kSaid = "ravelin: the log file " + kName + " ended in a line cut short";

// A minute of quiet seconds: one record due.
void minute(WindowRig& rig) {
    for (int s = 0; s < 60; ++s) rig.second(std::vector<std::uint8_t>(22050, 128));
}
}  // namespace

TEST(Form1LogCut, ACutLineFoundWhileCountingIsShownAndSaidUntilTheNextStart) {
    WindowRig rig;
    rig.files.replace(kName, "\"2012/03/05\",\"09:4");
    rig.start();
    testing::internal::CaptureStderr();
    minute(rig);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find(kSaid), 0u) << err;
    EXPECT_EQ(err.find(kSaid, 1), std::string::npos) << "said once: " << err;
    EXPECT_EQ(rig.window.statusLabel()->toolTip().toStdString(),
              "CSVファイル「" + kName + "」の最後の行が途中で切れていたため、その行を閉じて次の記録を新しい行に書きました。");
    QTest::mouseClick(rig.window.button("cmdStop"), Qt::LeftButton);
    rig.device.deliverAll();
    rig.start();
    EXPECT_EQ(rig.status(), "");
}

TEST(Form1LogCut, SavingIntoAFileEndingInACutLineClosesItAndSaysSo) {
    WindowRig rig;
    rig.monitor.state().SaveFolder = "/gone/";
    rig.files.failMkdir = true;
    rig.start();
    minute(rig);
    rig.files.folders.insert("/elsewhere");
    rig.files.replace("/elsewhere/" + kName, "\"2012/03/0");
    rig.dialogs.unwrittenAnswers = {UnwrittenChoice::SaveElsewhere};
    rig.dialogs.folderAnswer = "/elsewhere";
    rig.window.show();
    testing::internal::CaptureStderr();
    rig.window.close();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ravelin: the log file /elsewhere/" + kName + " ended in a line cut short"), std::string::npos)
        << err;
    EXPECT_EQ(rig.files.files["/elsewhere/" + kName], "\"2012/03/0\r\n\"2012/03/05\",\"09:41\",0\r\n");
    EXPECT_EQ(rig.window.exitStatus(), 0);
}
