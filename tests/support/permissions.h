// SPDX-License-Identifier: MIT
#pragma once
// Root passes every file permission check, so a test of an unreadable file or a read-only
// folder would prove nothing when the tests run as root (as they do in CI). While this
// object lives, the calling thread gives up that power and permission bits apply to it as
// they do to a person; afterwards it is given back.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pictavo::test {

class PermissionsEnforced {
public:
    PermissionsEnforced() {
        if (::geteuid() != 0) {
            active_ = true;  // permissions apply anyway
            return;
        }
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        active_ = changed_;
    }
    ~PermissionsEnforced() {
        if (changed_) ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

    // False when the power could not be given up: the test cannot show anything then.
    [[nodiscard]] bool active() const { return active_; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
    bool active_ = false;
};

}  // namespace pictavo::test
