#include "app/gui.h"

#include <cstdio>

namespace ravelin {
int runGui(int&, char**, const Options&) {
    std::fprintf(stderr, "ravelin: the main window is not built yet; use --headless\n");
    return 1;
}
}  // namespace ravelin
