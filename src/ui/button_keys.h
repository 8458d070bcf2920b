// Push buttons that answer Return and Enter as well as Space when they have the focus.
#pragma once

class QAbstractButton;

namespace ravelin {

// Makes `button` click on Return or Enter (the keypad's), as it does on Space; a disabled
// button does nothing. Qt's own buttons do so only as a dialog's default.
void clickOnReturn(QAbstractButton* button);

}  // namespace ravelin
