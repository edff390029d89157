#pragma once
// Root passes every permission check: while a TNoPermissionOverride lives,
// the calling thread gives up that power, as an ordinary user has none.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class TNoPermissionOverride {
public:
    TNoPermissionOverride()
    {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        syscall(SYS_capset, &header_, reduced);
    }
    ~TNoPermissionOverride() { syscall(SYS_capset, &header_, saved_); }
    TNoPermissionOverride(const TNoPermissionOverride&) = delete;
    TNoPermissionOverride& operator=(const TNoPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};
