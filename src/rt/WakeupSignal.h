#pragma once

// Wakes the window's thread from the audio or MIDI thread. Signalling is one write to an
// eventfd: it never allocates, locks or blocks, so the audio callback may call it.
// Thread: any (signal) and owner (the one thread that waits: the window in the program).
class WakeupSignal {
public:
    // Thread: owner. Throws std::system_error when no eventfd can be made.
    WakeupSignal();
    ~WakeupSignal();
    WakeupSignal(const WakeupSignal&) = delete;
    WakeupSignal& operator=(const WakeupSignal&) = delete;

    // Thread: any (audio and midi-in among them).
    void signal() noexcept;

    // Thread: owner (the waiting thread).
    // The descriptor to watch (readable while signalled).
    int fd() const noexcept { return fd_; }
    // Clears the signal.
    void drain() noexcept;
    // Waits until signalled or the timeout passes; true when signalled.
    bool wait(int timeoutMs) noexcept;

private:
    int fd_ = -1;
};
