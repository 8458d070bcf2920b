#include "ui/history_window.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/log_folder.h"
#include "ui/history_canvas.h"

namespace ravelin {

namespace {
constexpr int kFollowMs = 5000;  // a record comes once a minute; new files at midnight
}

HistoryWindow::HistoryWindow(std::function<std::string()> folder, std::function<HistoryLimits()> limits,
                             QWidget* parent)
    : QWidget(parent), folderNow_(std::move(folder)), limits_(std::move(limits)) {
    setWindowTitle(QStringLiteral("線量率の履歴"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1000, 560);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    const char* names[] = {"1日", "1週間", "1か月", "全期間"};
    const HistorySpan spans[] = {HistorySpan::Day, HistorySpan::Week, HistorySpan::Month, HistorySpan::All};
    for (int i = 0; i < 4; ++i) {
        spans_[i] = new QPushButton(QString::fromUtf8(names[i]), this);
        spans_[i]->setCheckable(true);
        spans_[i]->setFocusPolicy(Qt::NoFocus);
        group->addButton(spans_[i]);
        bar->addWidget(spans_[i]);
        connect(spans_[i], &QPushButton::clicked, this, [this, span = spans[i]] { showSpan(span); });
    }
    status_ = new QLabel(this);
    bar->addStretch(1);
    bar->addWidget(status_);
    layout->addLayout(bar);
    canvas_ = new HistoryCanvas(this);
    layout->addWidget(canvas_, 1);
    canvas_->setFocus();

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &HistoryWindow::refresh);
    timer_->start(kFollowMs);
    refresh();
    showSpan(HistorySpan::Week);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::refresh() {
    const std::string folder = folderNow_();
    const bool fresh = !folder_ || folder_->folder() != folder;
    if (fresh) {
        folder_ = std::make_unique<PosixLogFolder>(folder);
        canvas_->setLog(nullptr);
        log_ = std::make_unique<HistoryLog>(*folder_);
    }
    const std::int32_t newest = log_->records().empty() ? 0 : log_->records().back().minute;
    error_.clear();
    const long added = log_->refresh(error_);
    canvas_->setLog(log_.get());
    const HistoryLimits limits = limits_();
    canvas_->setLimits(limits.alarm1, limits.alarm2);
    if (fresh && !log_->records().empty()) canvas_->setRange(spanRange(log_->records(), HistorySpan::Week));
    else if (added > 0) canvas_->recordsAdded(newest);
    status_->setText(statusText());
}

QString HistoryWindow::statusText() const {
    if (!error_.empty()) return QStringLiteral("フォルダを読めません（%1）").arg(QString::fromStdString(error_));
    QString text = QStringLiteral("%1  %2件").arg(QString::fromStdString(folder_->folder())).arg(log_->records().size());
    if (!log_->skipped().empty()) text += QStringLiteral("（読み飛ばした行 %1）").arg(log_->skipped().size());
    return text;
}

void HistoryWindow::showSpan(HistorySpan span) {
    spans_[static_cast<int>(span)]->setChecked(true);
    canvas_->setRange(spanRange(log_->records(), span));
    canvas_->setFocus();
}

}  // namespace ravelin
