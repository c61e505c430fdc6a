#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

// Runs as an unprivileged user (nobody) while alive, when the tests run as root: permission
// bits do not bind root, so a read-only folder is read-only only for someone else.
// Thread: the effective user is the whole process's; make one on the test's thread.
class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    Unprivileged() : wasRoot_(::geteuid() == 0) {
        if (wasRoot_) {
            EXPECT_EQ(::seteuid(kNobody), 0);
        }
    }
    ~Unprivileged() {
        if (wasRoot_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    bool wasRoot_;
};
