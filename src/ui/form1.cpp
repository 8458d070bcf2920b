#include "ui/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <limits>

#include "engine/convert.h"
#include "outputs/csv_log.h"
#include "platform/dialogs.h"
#include "platform/journal_prefix.h"
#include "ui/button_keys.h"
#include "ui/display_windows.h"
#include "ui/form1_layout.h"
#include "ui/readout_tooltips.h"

namespace ravelin {
namespace {

QStringList families(std::span<const char* const> names) {
    QStringList out;
    for (const char* n : names) out << QString::fromUtf8(n);
    return out;
}

QFont roleFont(FontRole role, const QFont& windowFont) {
    QFont f = windowFont;
    switch (role) {
        case FontRole::WindowDefault:
            return f;
        case FontRole::Label:
            f.setFamilies(families(gothicFamilies()));
            f.setPointSizeF(9);
            f.setWeight(QFont::Normal);
            return f;
        case FontRole::Dose:
            f.setFamilies(families(proportionalGothicFamilies()));
            f.setPointSizeF(12);
            f.setWeight(QFont::Bold);
            return f;
        case FontRole::SmallButton:
            f.setFamilies(families(proportionalGothicFamilies()));
            f.setPointSizeF(8.25);
            f.setWeight(QFont::Normal);
            return f;
    }
    return f;
}

QRect pixels(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) { build(); }

Form1::~Form1() = default;

void Form1::build() {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(kForm1Caption.data(), static_cast<int>(kForm1Caption.size())));
    QFont windowFont = font();
    windowFont.setFamilies(families(proportionalGothicFamilies()));
    windowFont.setPointSizeF(9);
    setFont(windowFont);

    const int width = twipsToPixels(kForm1WidthTwips);
    const int height = twipsToPixels(kForm1HeightTwips);

    QWidget* previous = nullptr;
    for (const ControlSpec& c : form1Controls()) {
        const QString text = QString::fromUtf8(c.text.data(), static_cast<int>(c.text.size()));
        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::TextBox: {
                auto* e = new QLineEdit(text, this);
                // A thin border: the style's own frame and padding clip the text of an 18-pixel box.
                e->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #7a7a7a; padding: 0px 1px; background: white; }"));
                // No box has a length limit (Qt's own stops at 32767 characters).
                e->setMaxLength(std::numeric_limits<int>::max());
                w = e;
                break;
            }
            case ControlKind::Label:
                w = new QLabel(text, this);
                break;
            case ControlKind::Button: {
                auto* b = new QPushButton(text, this);
                clickOnReturn(b);
                w = b;
                break;
            }
            case ControlKind::CheckBox: {
                auto* b = new QCheckBox(text, this);
                b->setChecked(c.checked);
                w = b;
                break;
            }
        }
        w->setObjectName(QString::fromUtf8(c.name.data(), static_cast<int>(c.name.size())));
        w->setGeometry(pixels(c.left, c.top, c.width, c.height));
        w->setFont(roleFont(c.font, windowFont));
        if (c.font == FontRole::Dose) {
            QPalette p = w->palette();
            p.setColor(QPalette::Text, QColor(255, 0, 0));
            w->setPalette(p);
        }
        if (c.kind != ControlKind::Label) {
            if (previous) QWidget::setTabOrder(previous, w);
            previous = w;
        }
        controls_.emplace(std::string(c.name), w);
    }

    const LineSpec& l = form1Line();
    auto* line = new QFrame(this);
    line->setObjectName(QString::fromUtf8(l.name.data(), static_cast<int>(l.name.size())));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setGeometry(twipsToPixels(l.x1), twipsToPixels(l.y1), twipsToPixels(l.x2) - twipsToPixels(l.x1) + 1, 1);
    controls_.emplace(std::string(l.name), line);

    status_ = new QLabel(this);
    status_->setObjectName("StatusLine");
    status_->setGeometry(0, height, width, kStatusLineHeight);
    // The 設定 button shares the row at its right end; the sentence stops before it.
    status_->setContentsMargins(4, 0, 4 + kSettingsButtonWidth, 0);
    status_->setTextFormat(Qt::PlainText);
    QPalette sp = status_->palette();
    sp.setColor(QPalette::WindowText, QColor(176, 0, 0));
    status_->setPalette(sp);

    settings_ = new QPushButton(QStringLiteral("設定"), this);
    settings_->setObjectName("cmdSettings");
    settings_->setGeometry(width - kSettingsButtonWidth, height, kSettingsButtonWidth, kStatusLineHeight);
    settings_->setFont(roleFont(FontRole::SmallButton, windowFont));
    settings_->setToolTip(QStringLiteral("入力、GM管、セットアップアシスタント、履歴、設定の保存"));
    clickOnReturn(settings_);
    connect(settings_, &QPushButton::clicked, this, &Form1::settingsRequested);

    setFixedSize(width, height + kStatusLineHeight);

    connect(button("cmdRec"), &QPushButton::clicked, this, &Form1::startClicked);
    connect(button("cmdStop"), &QPushButton::clicked, this, &Form1::stopClicked);
    connect(button("Command1"), &QPushButton::clicked, this, &Form1::chooseLogFolder);
    connect(button("Command2"), &QPushButton::clicked, this, [this] {
        if (services_.monitor) services_.monitor->stopAlarm(1);
    });
    connect(button("Command3"), &QPushButton::clicked, this, [this] {
        if (services_.monitor) services_.monitor->stopAlarm(2);
    });
    connect(button("Command4"), &QPushButton::clicked, this, [this] { dialogs_.message(this, kNotYetMessage); });
}

void Form1::attach(const Services& services) {
    services_ = services;
    if (!services_.monitor) return;
    tooltips_ = std::make_unique<ReadoutTooltips>(box(readoutBox(Readout::Cpm)), box(readoutBox(Readout::Dose)));
    services_.monitor->pipeline().addObserver(tooltips_.get());
}

QWidget* Form1::control(std::string_view name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}
QLineEdit* Form1::box(Box b) const { return static_cast<QLineEdit*>(control(controlName(b))); }
QCheckBox* Form1::checkBox(Check c) const { return static_cast<QCheckBox*>(control(controlName(c))); }
QPushButton* Form1::button(std::string_view name) const { return qobject_cast<QPushButton*>(control(name)); }

std::string Form1::text(Box b) const { return box(b)->text().toStdString(); }
void Form1::setText(Box b, const std::string& text) { box(b)->setText(q(text)); }
bool Form1::isChecked(Check c) const { return checkBox(c)->isChecked(); }
void Form1::setChecked(Check c, bool on) { checkBox(c)->setChecked(on); }

void Form1::setProblem(const Problem& problem) {
    const auto it = problems_.find(problem.key);
    if (it != problems_.end() && it->second.boxText == problem.boxText && it->second.detail == problem.detail &&
        it->second.reason == problem.reason)
        return;
    problems_[problem.key] = problem;
    refreshStatus();
    // A line of the log found cut is an event in the log's history: said on stderr too.
    if (problem.key == ProblemKey::LogLineCut) say(Priority::Warning, problemSentenceEn(problem));
}

void Form1::clearProblem(ProblemKey key) {
    if (problems_.erase(key) != 0) refreshStatus();
}

void Form1::refreshStatus() {
    const StatusLine line = statusLine(problems_);
    const QString more = q(line.more);
    const QFontMetrics fm(status_->font());
    const int room = status_->contentsRect().width() - fm.horizontalAdvance(more);
    // A long sentence is shortened, never the count of the others; the tooltip has them all.
    status_->setText(fm.elidedText(q(line.sentence), Qt::ElideRight, room) + more);
    status_->setToolTip(q(statusLineDetails(problems_)));
}

void Form1::captureStateChanged(bool recording) {
    // The focus goes to the button that can be pressed next, not on along the tab order
    // into a readout box.
    button("cmdRec")->setEnabled(!recording);
    if (!recording && button("cmdStop")->hasFocus()) button("cmdRec")->setFocus();
    button("cmdStop")->setEnabled(recording);
    if (recording) button("cmdStop")->setFocus();
}

void Form1::showMessage(const std::string& text) { dialogs_.message(this, text); }

void Form1::startClicked() {
    if (services_.monitor) services_.monitor->start();
}

void Form1::stopClicked() {
    if (services_.monitor) services_.monitor->stop();
}

void Form1::chooseLogFolder() {
    SaveDialogRequest request;
    request.title = "収集データ保存フォルダ";
    request.fileName = kDefaultLogFileName;
    request.filters = {{"テキスト ファイル", {"*.txt", "*.log"}}, {"すべてのファイル", {"*"}}};
    request.filterIndex = 2;
    request.overwritePrompt = true;
    request.folderMustExist = true;
    // A cancel leaves the name the dialog opened with.
    const std::string name = dialogs_.saveFileName(this, request).value_or(kDefaultLogFileName);
    setText(Readout::LogFile, name);
    const auto slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string{} : name.substr(0, slash + 1);
    dialogs_.message(this, folder);
    // Only now: a record due while the box was open went to the previous folder.
    if (services_.monitor) services_.monitor->state().SaveFolder = folder;
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!closed_) shutDown(true);
    event->accept();
    emit closed();
}

void Form1::closeFromSignal() {
    signalled_ = true;
    // A modal box would hold the close back; it is dismissed first.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(50, this, &Form1::closeFromSignal);
        return;
    }
    close();
}

void Form1::shutDown(bool ask) {
    closed_ = true;
    bool written = services_.monitor ? services_.monitor->unload() : true;
    std::string error;
    while (!written) {
        const auto& pending = services_.monitor->log().pending();
        if (!ask || signalled_) {
            sayUnwritten(services_.monitor->log());
            exitStatus_ = 3;
            break;
        }
        const std::string reason = error.empty() ? services_.monitor->log().lastError() : error;
        const std::string text = "CSVファイルに書き込めていない記録が" +
                                 integerText(static_cast<std::int64_t>(pending.size())) + "件あります（" + reason +
                                 "）。\n別のフォルダに保存しますか？";
        error.clear();
        switch (dialogs_.askUnwritten(this, text)) {
            case UnwrittenChoice::SaveElsewhere:
                if (const auto folder = dialogs_.chooseFolder(this, "記録の保存先フォルダ")) {
                    written = services_.monitor->log().writePendingInto(*folder, error);
                    for (const auto& path : services_.monitor->log().takeCutFiles()) {
                        clearProblem(ProblemKey::LogLineCut);
                        setProblem(Problem{ProblemKey::LogLineCut, {}, path, {}});
                    }
                }
                break;
            case UnwrittenChoice::Retry:
                written = services_.monitor->retryLog();
                break;
            case UnwrittenChoice::Discard:
                written = true;
                break;
        }
    }
    if (services_.displays) services_.displays->closeAll();
    if (services_.player) services_.player->stop();
}

}  // namespace ravelin
