// The setup assistant's result for a person: the reasons in Japanese, the counting-plateau
// picture, and 適用 (accept; only when there is a proposal and it is offered) and 閉じる.
#pragma once

#include <QDialog>
#include <QImage>

#include "engine/calibration.h"

namespace ravelin {

class CalibrationView : public QDialog {
public:
    // `offerApply`: the person decides whether the proposal goes into the boxes; without
    // it the view only tells (the boxes were filled already).
    CalibrationView(const CalibrationResult& result, bool invertGiven, QWidget* parent = nullptr,
                    bool offerApply = true);

    // The plateau picture as shown.
    const QImage& picture() const { return picture_; }
    QString reasons() const;

private:
    QImage picture_;
    QString reasons_;
};

// The plateau picture drawn on its own (for the view and the tests).
QImage plateauImage(const CalibrationResult& result, const QFont& font);

}  // namespace ravelin
