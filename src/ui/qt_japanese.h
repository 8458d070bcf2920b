// Qt's own texts (file dialog, message-box buttons, text boxes' context menus) in Japanese.
#pragma once

namespace ravelin {

// Installs Qt's Japanese catalogues (qt6-translations-l10n) into the running application,
// whatever the desktop's locale: the window is Japanese by design. False when the
// catalogue of Qt's base texts is missing.
bool installQtJapanese();

}  // namespace ravelin
