#pragma once

// Wakes the window's thread from the audio or MIDI thread. Signalling is one write to an
// eventfd: it never allocates, locks or blocks, so the audio callback may call it.
class WakeupSignal {
public:
    WakeupSignal();
    ~WakeupSignal();
    WakeupSignal(const WakeupSignal&) = delete;
    WakeupSignal& operator=(const WakeupSignal&) = delete;

    // Any thread.
    void signal();
    // The waiting thread: the descriptor to watch (readable while signalled).
    int fd() const { return fd_; }
    // The waiting thread: clears the signal.
    void drain();
    // The waiting thread: waits until signalled or the timeout passes; true when signalled.
    bool wait(int timeoutMs);

private:
    int fd_ = -1;
};
