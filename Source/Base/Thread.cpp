#include "Base/Thread.h"

#include <pthread.h>

#include <cstdlib>
#include <cstring>

#include "Base/Log.h"

namespace base {

void ThreadStartFailed(const char* name, const char* reason) {
    LOGF(LOG_FATAL, LOG_SRC_PLATFORM, "Could not start thread %s: %s", name, reason);
    std::_Exit(1);
}

void NameThisThread(const char* name) {
    // The kernel keeps 15 characters and the terminating zero.
    char shortName[16];
    std::strncpy(shortName, name, sizeof shortName - 1);
    shortName[sizeof shortName - 1] = 0;
    pthread_setname_np(pthread_self(), shortName);
}

}  // namespace base
