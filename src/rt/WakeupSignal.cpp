#include "rt/WakeupSignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

WakeupSignal::WakeupSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

WakeupSignal::~WakeupSignal() {
    if (fd_ >= 0) close(fd_);
}

void WakeupSignal::signal() noexcept {
    const std::uint64_t one = 1;
    // A full counter still leaves the descriptor readable, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void WakeupSignal::drain() noexcept {
    std::uint64_t count;
    [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
}

bool WakeupSignal::wait(int timeoutMs) noexcept {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    return ready > 0 && (p.revents & POLLIN);
}
