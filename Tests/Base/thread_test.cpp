// The one thread helper: the new thread carries its name before its body
// runs (cut to the kernel's 15 characters), a detached job runs to its end,
// and a thread that cannot start ends the program with a FATAL line.
#include <gtest/gtest.h>

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "Base/Log.h"
#include "Base/Thread.h"

namespace {

std::string ThisThreadName() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(StartThread, TheBodyRunsUnderItsName) {
    const struct {
        const char* given;
        const char* seen;
    } cases[] = {
        {"orvex-storage", "orvex-storage"},
        {"video0.1", "video0.1"},
        {"a-name-longer-than-fifteen", "a-name-longer-t"},
    };
    for (const auto& c : cases) {
        std::string seen;
        std::thread t = base::StartThread(c.given, [&seen] { seen = ThisThreadName(); });
        ASSERT_TRUE(t.joinable()) << c.given;
        t.join();
        EXPECT_EQ(seen, c.seen) << c.given;
    }
    EXPECT_NE(ThisThreadName(), "orvex-storage");  // the caller keeps its own name
}

TEST(StartThread, DetachedJobRunsToItsEnd) {
    std::mutex lock;
    std::condition_variable done;
    std::string seen;
    base::StartDetachedThread("orvex-capture", [&] {
        std::lock_guard<std::mutex> hold(lock);
        seen = ThisThreadName();
        done.notify_all();
    });
    std::unique_lock<std::mutex> hold(lock);
    ASSERT_TRUE(done.wait_for(hold, std::chrono::seconds(30), [&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "orvex-capture");
}

TEST(StartThreadDeathTest, AThreadThatCannotStartEndsTheProgram) {
    EXPECT_EXIT(base::ThreadStartFailed("orvex-export", "Resource temporarily unavailable"),
                ::testing::ExitedWithCode(1),
                "FATAL: Could not start thread orvex-export: Resource temporarily unavailable");
}

}  // namespace
