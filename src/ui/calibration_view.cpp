#include "ui/calibration_view.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "drawing/plateau_plot.h"
#include "ui/plot_paint.h"

namespace ravelin {

QImage plateauImage(const CalibrationResult& result, const QFont& font) {
    QImage image(kPlateauWidth, kPlateauHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPlotOps(painter, plateauPlot(result), Qt::black, font);
    return image;
}

CalibrationView::CalibrationView(const CalibrationResult& result, bool invertGiven, QWidget* parent, bool offerApply)
    : QDialog(parent), reasons_(QString::fromStdString(explanationJa(result, invertGiven))) {
    setWindowTitle(QString::fromUtf8("セットアップアシスタントの結果"));
    setObjectName("calibrationView");
    auto* layout = new QVBoxLayout(this);
    picture_ = plateauImage(result, font());
    auto* picture = new QLabel(this);
    picture->setObjectName("plateauPicture");
    picture->setPixmap(QPixmap::fromImage(picture_));
    layout->addWidget(picture);
    auto* text = new QPlainTextEdit(reasons_, this);
    text->setObjectName("calibrationReasons");
    text->setReadOnly(true);
    text->setMinimumSize(kPlateauWidth, 160);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(this);
    if (offerApply && result.found) {
        auto* apply = buttons->addButton(QString::fromUtf8("適用"), QDialogButtonBox::AcceptRole);
        apply->setObjectName("applyProposal");
        apply->setDefault(true);
    }
    auto* close = buttons->addButton(QString::fromUtf8("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName("closeView");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CalibrationView::reasons() const { return reasons_; }

}  // namespace ravelin
