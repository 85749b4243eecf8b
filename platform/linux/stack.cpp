#include "platform/linux/layer.h"

#include <sys/resource.h>

namespace layer {

// Linux grows the main thread's stack on demand up to the soft limit in force at the
// time, so raising the limit early is enough.
void raiseStackLimit() {
    constexpr rlim_t kStack = 32u * 1024u * 1024u;
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kStack) return;
    limit.rlim_cur = (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= kStack) ? kStack : limit.rlim_max;
    setrlimit(RLIMIT_STACK, &limit);
}

}  // namespace layer
