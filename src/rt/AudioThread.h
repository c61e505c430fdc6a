#pragma once

// Marks the stretch of a thread that runs the sound card's callback, so that code and tests
// can tell when something happens on the real-time path (where nothing may allocate, lock
// or block).
// Thread: each thread sees only its own mark.
class AudioThread {
public:
    static bool inCallback() { return inCallback_; }

    // Held for the duration of one callback.
    class Scope {
    public:
        Scope() { inCallback_ = true; }
        ~Scope() { inCallback_ = false; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    static inline thread_local bool inCallback_ = false;
};
