#include "web/live_state.h"

namespace ravelin {

void LiveBoard::publish(std::shared_ptr<const LiveSecond> second) {
    {
        const std::lock_guard lock(mutex_);
        latest_.swap(second);
    }
    changed_.notify_all();
    // The previous second is released here, outside the lock.
}

std::shared_ptr<const LiveSecond> LiveBoard::latest() const {
    const std::lock_guard lock(mutex_);
    return latest_;
}

std::shared_ptr<const LiveSecond> LiveBoard::waitNewer(std::uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return stopped_ || (latest_ && latest_->sequence > seen); });
    return latest_;
}

void LiveBoard::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

}  // namespace ravelin
