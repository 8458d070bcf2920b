#include "ui/button_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace ravelin {
namespace {

class ReturnClicks : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        auto* button = static_cast<QAbstractButton*>(watched);
        // A held key clicks once, not at every repeat.
        if (button->isEnabled() && !key->isAutoRepeat()) button->click();
        return true;
    }
};

}  // namespace

void clickOnReturn(QAbstractButton* button) { button->installEventFilter(new ReturnClicks(button)); }

}  // namespace ravelin
