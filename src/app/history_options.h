// The checks of the history's options (--history, --summary, --export, --from, --to).
#pragma once

#include <QStringList>
#include <optional>
#include <string>

#include "app/options.h"

namespace ravelin {

// "" when the options given fit together; else the command-line error.
std::string historyOptionsError(const QStringList& given, bool history);

// --from / --to as days into `o`; false with the error.
bool parseHistoryDates(const std::optional<std::string>& from, const std::optional<std::string>& to, Options& o,
                       std::string& error);

// FILE.png or FILE.svg (any case).
bool historyExportKnown(const std::string& file);

}  // namespace ravelin
