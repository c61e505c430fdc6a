#pragma once

// Marks the stretch of a thread that runs the sound card's callback, so that code and tests
// can tell when something happens on the real-time path (where nothing may allocate, lock
// or block).
// Thread: any. The mark is thread-local: each thread sees only its own.
class AudioThread {
public:
    // Thread: any.
    static bool inCallback() noexcept { return inCallback_; }

    // Held for the duration of one callback.
    // Thread: audio.
    class Scope {
    public:
        Scope() noexcept { inCallback_ = true; }
        ~Scope() { inCallback_ = false; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    static inline thread_local bool inCallback_ = false;
};
