// Qt's own texts in the real window under a real X server (Xvfb), read back from the
// widgets: a text box's context menu, the 保存先 dialog, its question before an existing
// file is replaced and the message box after it. Our own texts in the real dialogs too:
// the save dialog's warning about a missing folder, and the unwritten records' buttons.
// The desktop's locale is C; Qt's texts must be Japanese anyway.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <functional>

#include "platform/dialogs.h"
#include "ui/form1.h"
#include "ui/qt_japanese.h"

using namespace ravelin;

namespace {

// Waits (turning the event loop) until `find` gives a widget, then hands it to `act`.
template <typename W>
void whenShown(std::function<W*()> find, std::function<void(W*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, find, act] {
        if (W* w = find(); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start(50);
}

template <typename W>
W* activeModal() {
    return qobject_cast<W*>(QApplication::activeModalWidget());
}

QStringList buttonTexts(QWidget* w) {
    QStringList out;
    for (auto* b : w->findChildren<QPushButton*>())
        if (b->isVisible()) out << b->text();
    out.sort();
    return out;
}

}  // namespace

TEST(QtTextsInJapanese, ATextBoxContextMenu) {
    auto dialogs = createQtDialogs();
    Form1 window(*dialogs);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QStringList texts;
    whenShown<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                     [&texts](QMenu* menu) {
                         for (QAction* a : menu->actions())
                             if (!a->isSeparator()) texts << a->text().section('\t', 0, 0);
                         menu->close();
                     });
    QLineEdit* box = window.box(Box::Text7);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box, &event);
    // The box pops its menu up and returns.
    ASSERT_TRUE(QTest::qWaitFor([&texts] { return !texts.isEmpty(); }, 10000));
    EXPECT_EQ(texts.join("|").toStdString(), "元に戻す(&U)|やり直す(&R)|切り取り(&T)|コピー(&C)|貼り付け(&P)|削除|すべてを選択");
}

TEST(QtTextsInJapanese, TheSaveDialogAndTheMessageAfterIt) {
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());

    auto dialogs = createQtDialogs();
    Form1 window(*dialogs);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QStringList dialogButtons, dialogLabels, messageButtons;
    whenShown<QFileDialog>(activeModal<QFileDialog>, [&](QFileDialog* d) {
        dialogButtons = buttonTexts(d);
        for (auto* l : d->findChildren<QLabel*>())
            if (l->isVisible() && !l->text().isEmpty()) dialogLabels << l->text();
        dialogLabels.sort();
        // The message after the dialog, with the folder.
        whenShown<QMessageBox>(activeModal<QMessageBox>, [&](QMessageBox* message) {
            messageButtons = buttonTexts(message);
            message->accept();
        });
        d->reject();
    });
    window.button("Command1")->click();
    QDir::setCurrent(cwd);

    EXPECT_EQ(dialogButtons.join("|").toStdString(), "キャンセル|保存(&S)");
    EXPECT_EQ(dialogLabels.join("|").toStdString(), "アドレス:|ファイルの種類:|ファイル名(&N):");
    // The message box's own button.
    EXPECT_EQ(messageButtons.join("|").toStdString(), "OK");
}

TEST(QtTextsInJapanese, TheSaveDialogAsksBeforeAnExistingFileIsReplaced) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("existing.csv");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    auto dialogs = createQtDialogs();
    QString question;
    whenShown<QFileDialog>(activeModal<QFileDialog>, [&](QFileDialog* d) {
        whenShown<QMessageBox>(activeModal<QMessageBox>, [&](QMessageBox* box) {
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        d->selectFile(existing);
        // As the 保存 button does; the question's own event loop runs inside.
        static_cast<QDialog*>(d)->accept();
    });
    SaveDialogRequest request;
    request.title = "収集データ保存フォルダ";
    request.initialFolder = dir.path().toStdString();
    request.fileName = "existing.csv";
    const auto picked = dialogs->saveFileName(nullptr, request);
    EXPECT_EQ(question.toStdString(), "existing.csv は既に存在します。\n置き換えますか?");
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(*picked, existing.toStdString());
}

TEST(QtTextsInJapanese, TheSaveDialogRefusesAFolderThatDoesNotExist) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing");
    auto dialogs = createQtDialogs();
    QString warning;
    bool stillOpen = false;
    whenShown<QFileDialog>(activeModal<QFileDialog>, [&](QFileDialog* d) {
        whenShown<QMessageBox>(activeModal<QMessageBox>, [&](QMessageBox* box) {
            warning = box->text();
            box->accept();
        });
        // Typed into the name box, as a user would.
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            ADD_FAILURE() << "the dialog has no name box";
            d->reject();
            return;
        }
        name->setText(QStringLiteral("missing/x.csv"));
        // The warning's own event loop runs inside; the dialog stays for another name.
        static_cast<QDialog*>(d)->accept();
        stillOpen = d->isVisible();
        d->reject();
    });
    SaveDialogRequest request;
    request.title = "収集データ保存フォルダ";
    request.initialFolder = dir.path().toStdString();
    request.fileName = "x.csv";
    EXPECT_FALSE(dialogs->saveFileName(nullptr, request).has_value());
    EXPECT_EQ(warning.toStdString(), "フォルダ「" + missing.toStdString() + "」がありません。");
    EXPECT_TRUE(stillOpen);
}

TEST(QtTextsInJapanese, TheUnwrittenRecordsQuestionsButtonsAndWhatEachAnswers) {
    auto dialogs = createQtDialogs();
    const std::pair<QString, UnwrittenChoice> answers[] = {
        {QStringLiteral("別のフォルダに保存..."), UnwrittenChoice::SaveElsewhere},
        {QStringLiteral("再試行"), UnwrittenChoice::Retry},
        {QStringLiteral("破棄して終了"), UnwrittenChoice::Discard},
    };
    for (const auto& [text, choice] : answers) {
        QString question;
        QStringList buttons;
        whenShown<QMessageBox>(activeModal<QMessageBox>, [&, text = text](QMessageBox* box) {
            question = box->text();
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
                if (b->text() == text) b->click();
            }
        });
        EXPECT_EQ(dialogs->askUnwritten(nullptr, "記録が1件あります。"), choice) << text.toStdString();
        EXPECT_EQ(question.toStdString(), "記録が1件あります。");
        EXPECT_EQ(buttons.size(), 3) << buttons.join("|").toStdString();
        EXPECT_TRUE(buttons.contains(text)) << buttons.join("|").toStdString();
    }
    // Esc keeps the records: it retries.
    whenShown<QMessageBox>(activeModal<QMessageBox>, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs->askUnwritten(nullptr, "記録が1件あります。"), UnwrittenChoice::Retry);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (!installQtJapanese()) {
        std::fprintf(stderr, "Qt's Japanese catalogues are missing\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
