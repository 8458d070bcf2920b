// The history plot painted: the export on a week of records, and the window over a folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "history/history_view.h"
#include "support/fake_log_folder.h"
#include "ui/history_canvas.h"
#include "ui/history_paint.h"
#include "ui/history_window.h"

using namespace ravelin;

namespace {

const int kStart = minuteOf(2024, 5, 1, 0, 0);
const int kGapFrom = minuteOf(2024, 5, 3, 12, 0), kGapTo = minuteOf(2024, 5, 3, 18, 0);
const int kSpike = minuteOf(2024, 5, 5, 6, 0);

// A week, a record every minute at 0.1 or 0.2 µSv/h but for six stopped hours and one spike of 2.
std::map<std::string, std::string> weekOfLogs() {
    std::map<std::string, std::string> files;
    for (int m = kStart; m < kStart + 7 * 1440; ++m) {
        if (m >= kGapFrom && m < kGapTo) continue;
        const CivilMinute c = civilOf(m);
        char name[40], line[64];
        std::snprintf(name, sizeof name, "\u03bcSVHData%04d%02d%02d.csv", c.year, c.month, c.day);
        std::snprintf(line, sizeof line, "\"%04d/%02d/%02d\",\"%02d:%02d\",%s\r\n", c.year, c.month, c.day, c.hour,
                      c.minute, m == kSpike ? "2" : m % 2 ? "0.2" : "0.1");
        files[name] += line;
    }
    return files;
}

bool isDoseBlue(QRgb p) { return qBlue(p) > 150 && qRed(p) < 90 && qGreen(p) < 140; }

class HistoryRender : public ::testing::Test {
protected:
    void SetUp() override {
        folder.files = weekOfLogs();
        std::string error;
        ASSERT_EQ(log.refresh(error), 7 * 1440 - 360);
        input.range = spanRange(log.records(), HistorySpan::All);
        input.alarm1 = 0.27;
        input.alarm2 = 2.7;
    }
    test::FakeLogFolder folder;
    HistoryLog log{folder};
    HistoryPlotInput input;
};

}  // namespace

TEST_F(HistoryRender, AWeekDrawsItsGapSpikeAverageAndLimits) {
    const QImage image = historyImage(log, input).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(1200, 600));
    const HistoryPlot plot = historyPlot(log.records(), input);
    const auto column = [&](int minute) {
        return static_cast<int>(plot.left + (minute - input.range.from) * (plot.right - plot.left) /
                                                (input.range.to - input.range.from));
    };
    const auto blueIn = [&](int x, int fromY, int toY) {
        for (int y = fromY; y <= toY; ++y)
            if (isDoseBlue(image.pixel(x, y))) return true;
        return false;
    };
    const int top = static_cast<int>(plot.top) + 1, bottom = static_cast<int>(plot.bottom) - 1;
    // The stopped hours: nothing drawn across them.
    for (int x = column(kGapFrom) + 2; x <= column(kGapTo) - 2; ++x) EXPECT_FALSE(blueIn(x, top, bottom)) << x;
    EXPECT_TRUE(blueIn(column(kGapFrom) - 3, top, bottom));
    // The one-minute spike survives the decimation (about nine minutes a column).
    const int spikeY = static_cast<int>(plot.bottom - 1.5 / plot.doseTop * (plot.bottom - plot.top));
    EXPECT_TRUE(blueIn(column(kSpike), top, spikeY) || blueIn(column(kSpike) + 1, top, spikeY));
    EXPECT_FALSE(blueIn(column(kSpike) + 40, top, spikeY));
    // The stage-1 limit line (the stage-2 one is above the scale of 2.5).
    ASSERT_TRUE(plot.alarm1Y);
    EXPECT_FALSE(plot.alarm2Y);
    int yellow = 0;
    for (int x = static_cast<int>(plot.left); x < plot.right; ++x) {
        const QRgb p = image.pixel(x, static_cast<int>(*plot.alarm1Y + 0.5));
        yellow += qRed(p) > 100 && qRed(p) < 160 && qGreen(p) > 100 && qGreen(p) < 160 && qBlue(p) < 60;
    }
    EXPECT_GT(yellow, 300);  // dashed
    // The average runs orange through the data.
    int orange = 0;
    for (int y = top; y <= bottom; ++y) {
        const QRgb p = image.pixel(column(minuteOf(2024, 5, 2, 12, 0)), y);
        orange += qRed(p) > 200 && qGreen(p) > 90 && qGreen(p) < 160 && qBlue(p) < 80;
    }
    EXPECT_GT(orange, 0);
    EXPECT_EQ(plot.records, log.records().size());
    EXPECT_EQ(plot.rangeText, "2024/05/01 00:00 – 2024/05/08 00:00");
}

TEST_F(HistoryRender, ExportsPngAndSvgFiles) {
    QTemporaryDir dir;
    std::string error;
    const std::string png = (dir.path() + "/week.png").toStdString(), svg = (dir.path() + "/week.svg").toStdString();
    ASSERT_TRUE(exportHistory(log, input, png, error)) << error;
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1200, 600));
    ASSERT_TRUE(exportHistory(log, input, svg, error)) << error;
    QFile file(QString::fromStdString(svg));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("<svg")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains("viewBox=\"0 0 1200 600\""));
    EXPECT_TRUE(text.contains(QStringLiteral("線量率の履歴")));
    EXPECT_FALSE(exportHistory(log, input, (dir.path() + "/week.jpg").toStdString(), error));
    EXPECT_FALSE(exportHistory(log, input, "/nonexistent-folder/week.png", error));
}

TEST(HistoryWindowTest, ShowsAFolderFollowsItAndNamesTheRecordUnderThePointer) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(QDir(dir.path()).filePath(QString::fromUtf8(name)).toStdString(), std::ios::app) << bytes;
    };
    write("\u03bcSVHData20240501.csv", "\"2024/05/01\",\"10:00\",0.1\r\n\"2024/05/01\",\"10:01\",0.138\r\nbad\r\n");
    std::string folder = dir.path().toStdString();
    HistoryWindow window([&] { return folder; }, [] { return HistoryLimits{0.27, 2.7}; });
    window.resize(1000, 560);
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("線量率の履歴"));
    EXPECT_EQ(window.statusText(), dir.path() + QStringLiteral("  2件（読み飛ばした行 1）"));
    HistoryCanvas* canvas = window.canvas();
    window.showSpan(HistorySpan::Day);
    EXPECT_EQ(canvas->range(), (HistoryRange{minuteOf(2024, 5, 1, 10, 2) - 1440.0, minuteOf(2024, 5, 1, 10, 2) + 0.0}));
    // The pointer over the last record, with ten minutes on either side.
    canvas->setRange({minuteOf(2024, 5, 1, 9, 50) + 0.0, minuteOf(2024, 5, 1, 10, 11) + 0.0});
    const HistoryPlot plot = historyPlot({}, canvas->plotInput());
    const int x = static_cast<int>(plot.left + 11 * (plot.right - plot.left) / 21 + 0.5);
    EXPECT_EQ(canvas->hoverText(QPoint(x, 200)), QStringLiteral("2024/05/01 10:01  0.138 µSv/h"));
    EXPECT_EQ(canvas->hoverText(QPoint(static_cast<int>(plot.left) + 5, 200)), QString());
    // A record appended later: the view that showed the newest record moves with it.
    write("\u03bcSVHData20240501.csv", "\"2024/05/01\",\"10:02\",0.2\r\n");
    window.showSpan(HistorySpan::Day);
    window.refresh();
    EXPECT_EQ(window.log()->records().size(), 3u);
    EXPECT_EQ(canvas->range().to, minuteOf(2024, 5, 1, 10, 3));
    const QImage shown = window.grab().toImage();
    EXPECT_FALSE(shown.isNull());
    for (QPushButton* b : window.findChildren<QPushButton*>()) EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    // A folder that is gone: the line says why it cannot be read.
    folder += "/gone";
    window.refresh();
    EXPECT_EQ(window.statusText().toStdString(), "フォルダを読めません（" + folder + ": " + std::strerror(ENOENT) + "）");
}

int main(int argc, char** argv) {
    // Windows are drawn without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
