#include "ui/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ravelin {
namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

QPushButton* namedButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    l->setFont(f);
    return l;
}
}  // namespace

SettingsWindow::SettingsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("SettingsWindow");
    setWindowTitle(QStringLiteral("設定 — Ravelin"));
    auto* layout = new QVBoxLayout(this);

    auto* input = new QGroupBox(QStringLiteral("入力"), this);
    auto* inputForm = new QFormLayout(input);
    inputs_ = new QComboBox(input);
    inputs_->setObjectName("inputChoice");
    level_ = new QProgressBar(input);
    level_->setObjectName("levelMeter");
    level_->setRange(0, 100);
    level_->setTextVisible(false);
    level_->setMaximumHeight(12);
    rate_ = new QSpinBox(input);
    rate_->setObjectName("rateChoice");
    rate_->setRange(8000, 192000);
    rate_->setSingleStep(50);
    rate_->setSuffix(QStringLiteral(" Hz"));
    invert_ = new QCheckBox(QStringLiteral("極性反転（パルスが上向きの計数器）(&P)"), input);
    invert_->setObjectName("invertChoice");
    inputForm->addRow(QStringLiteral("入力元(&I)"), inputs_);
    inputForm->addRow(QStringLiteral("レベル"), level_);
    inputForm->addRow(QStringLiteral("サンプリングレート(&R)"), rate_);
    inputForm->addRow(invert_);
    inputForm->addRow(note(QStringLiteral("入力元、レートと極性は次の「開始」から使われます。サウンドサーバーのモニター"
                                          "ソースは一覧に出ません（Qtが列挙しないため）。"),
                           input));
    layout->addWidget(input);

    auto* tube = new QGroupBox(QStringLiteral("GM管"), this);
    auto* tubeForm = new QFormLayout(tube);
    tubes_ = new QComboBox(tube);
    tubes_->setObjectName("tubeChoice");
    tubeSource_ = note(QString(), tube);
    tubeSource_->setObjectName("tubeSource");
    tubeSource_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tubeSource_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    deadTime_ = new QLineEdit(tube);
    deadTime_->setObjectName("deadTimeBox");
    deadTime_->setPlaceholderText(QStringLiteral("空欄: 補正しない"));
    tubeForm->addRow(QStringLiteral("GM管(&G)"), tubes_);
    tubeForm->addRow(tubeSource_);
    tubeForm->addRow(QStringLiteral("不感時間 (µs)(&T)"), deadTime_);
    layout->addWidget(tube);

    auto* assistant = new QGroupBox(QStringLiteral("セットアップアシスタント"), this);
    auto* assistantRow = new QHBoxLayout(assistant);
    auto* run = namedButton(QStringLiteral("アシスタントを実行(&A)"), "assistantButton", assistant);
    assistantState_ = note(QStringLiteral("入力を聞いて、しきい値・不感帯・分解能を提案します。"), assistant);
    assistantRow->addWidget(run);
    assistantRow->addWidget(assistantState_, 1);
    layout->addWidget(assistant);

    auto* history = new QGroupBox(QStringLiteral("履歴"), this);
    auto* historyRow = new QHBoxLayout(history);
    logFolder_ = note(QString(), history);
    logFolder_->setObjectName("logFolderLabel");
    logFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    historyRow->addWidget(logFolder_, 1);
    historyRow->addWidget(namedButton(QStringLiteral("履歴…(&H)"), "historyButton", history));
    layout->addWidget(history);

    auto* buttons = new QHBoxLayout;
    auto* save = namedButton(QStringLiteral("この設定を保存(&S)"), "saveButton", this);
    auto* defaults = namedButton(QStringLiteral("既定に戻す(&D)"), "defaultsButton", this);
    auto* close = namedButton(QStringLiteral("閉じる"), "closeButton", this);
    buttons->addWidget(save);
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    message_ = note(QString(), this);
    message_->setObjectName("messageLabel");
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message_);
    // A fixed width: the wrapped notes then take the same lines every time.
    setFixedWidth(520);

    connect(inputs_, &QComboBox::currentIndexChanged, this, &SettingsWindow::inputChosen);
    connect(rate_, &QSpinBox::valueChanged, this, &SettingsWindow::rateChosen);
    connect(invert_, &QCheckBox::toggled, this, &SettingsWindow::invertChosen);
    connect(tubes_, &QComboBox::activated, this, [this](int index) {
        if (index > 0) emit tubeChosen(tubes_->itemData(index).toString());
    });
    connect(deadTime_, &QLineEdit::editingFinished, this, &SettingsWindow::deadTimeChosen);
    connect(run, &QPushButton::clicked, this, &SettingsWindow::assistantRequested);
    connect(button("historyButton"), &QPushButton::clicked, this, &SettingsWindow::historyRequested);
    connect(save, &QPushButton::clicked, this, &SettingsWindow::saveRequested);
    connect(defaults, &QPushButton::clicked, this, &SettingsWindow::defaultsRequested);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

void SettingsWindow::setInputs(const std::vector<Choice>& inputs, const std::string& chosen) {
    const QSignalBlocker quiet(inputs_);
    inputs_->clear();
    for (const auto& c : inputs) inputs_->addItem(q(c.label), q(c.id));
    inputs_->setCurrentIndex(std::max(0, inputs_->findData(q(chosen))));
}
std::string SettingsWindow::input() const { return inputs_->currentData().toString().toStdString(); }

void SettingsWindow::setRate(int rate) {
    const QSignalBlocker quiet(rate_);
    rate_->setValue(rate);
}
int SettingsWindow::rate() const { return rate_->value(); }
void SettingsWindow::setRateUsable(bool usable) { rate_->setEnabled(usable); }

void SettingsWindow::setInvert(bool on) {
    const QSignalBlocker quiet(invert_);
    invert_->setChecked(on);
}
bool SettingsWindow::invert() const { return invert_->isChecked(); }
void SettingsWindow::setLevel(int percent) { level_->setValue(percent); }

void SettingsWindow::setTubes(const std::vector<Choice>& tubes) {
    tubes_->clear();
    tubes_->addItem(QStringLiteral("（選ばない）"));
    for (const auto& t : tubes) tubes_->addItem(q(t.label), q(t.id));
}
void SettingsWindow::setTubeSource(const std::string& text) {
    tubeSource_->setText(q(text));
    fitHeight();
}
void SettingsWindow::clearTube() {
    tubes_->setCurrentIndex(0);
    tubeSource_->clear();
}

void SettingsWindow::setDeadTime(const std::string& microseconds) { deadTime_->setText(q(microseconds)); }
std::string SettingsWindow::deadTime() const { return deadTime_->text().trimmed().toStdString(); }

void SettingsWindow::setAssistantRunning(bool running) {
    button("assistantButton")->setEnabled(!running);
    assistantState_->setText(running ? QStringLiteral("入力を聞いています。進み具合はメインウィンドウの下に出ます。")
                                     : QStringLiteral("入力を聞いて、しきい値・不感帯・分解能を提案します。"));
}

void SettingsWindow::setLogFolder(const std::string& folder) {
    logFolder_->setText(QStringLiteral("記録フォルダ: ") + q(folder));
}
void SettingsWindow::setMessage(const std::string& text) {
    message_->setText(q(text));
    fitHeight();
}

void SettingsWindow::showEvent(QShowEvent* event) {
    fitHeight();
    QDialog::showEvent(event);
}

// The wrapped notes' heights follow their text; the window grows or shrinks with them.
void SettingsWindow::fitHeight() {
    if (layout()) layout()->activate();
    adjustSize();
}

QPushButton* SettingsWindow::button(const char* name) const { return findChild<QPushButton*>(name); }

}  // namespace ravelin
