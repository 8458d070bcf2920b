// The options of the public maps (radmon.org, GMCmap, Safecast): their entries in the
// option table, and their reading and checking.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"

namespace ravelin {

// Their entries, in the order --help lists them.
const std::vector<OptionInfo>& mapOptionEntries();

// Takes them from the command line (`value` gives an option's last value) and checks
// each value alone (a configuration file's line is checked by itself too). Empty, or
// the command-line error to report (exit status 2).
std::string readMapOptions(const std::function<std::optional<std::string>(std::string_view)>& value,
                           MapOptions& maps);

// The options together: each one that belongs to a service needs the service, a service
// needs its secret's file (Safecast its position too). Empty, or the command-line error.
std::string mapOptionsError(const MapOptions& maps);

// The state folder: --state-dir, else $STATE_DIRECTORY (its first folder), else
// $XDG_STATE_HOME/ravelin, else ~/.local/state/ravelin.
std::string stateFolder(const MapOptions& maps);

}  // namespace ravelin
