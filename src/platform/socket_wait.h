// Waiting on one socket, for the broker relay and its TLS session.
#pragma once

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>

namespace ravelin {

// Waits for `events` on `fd` in quarter seconds until `deadline`; 1 ready, 0 time out or
// stopped, -1 a broken socket.
inline int waitForSocket(int fd, short events, std::chrono::steady_clock::time_point deadline,
                         const std::function<bool()>& stopping) {
    while (!stopping()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return 0;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 250)));
        if (n > 0) return 1;
        if (n < 0 && errno != EINTR) return -1;
    }
    return 0;
}

}  // namespace ravelin
