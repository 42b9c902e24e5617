// The single-instance guard: the lock file in a temporary data folder and the
// hand-over over an abstract socket of this test's own name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Base/Log.h"
#include "Base/SingleInstance.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orvex-window-instance-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder_ = tmpl;
        LogSetStderr(false);
    }
    void TearDown() override {
        LogSetStderr(true);
        std::filesystem::remove_all(folder_);
    }
    Path Folder() const { return Path(folder_.string()); }
    std::filesystem::path folder_;
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstReleases) {
    SingleInstance first, second;
    EXPECT_TRUE(first.Acquire(Folder()));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "instance.lock"));
    EXPECT_FALSE(second.Acquire(Folder()));
    first.Release();
    EXPECT_TRUE(second.Acquire(Folder()));
}

TEST_F(SingleInstanceTest, HandOverReachesTheListener) {
    SingleInstance running, second;
    ASSERT_TRUE(running.Acquire(Folder()));
    ASSERT_FALSE(second.Acquire(Folder()));
    // Nobody listens yet (no window): the hand-over gives up after its wait.
    EXPECT_FALSE(second.HandOver(50));
    ASSERT_TRUE(running.Listen());
    EXPECT_FALSE(running.PollRaiseRequest());
    EXPECT_TRUE(second.HandOver(200));
    EXPECT_TRUE(running.PollRaiseRequest());
    EXPECT_FALSE(running.PollRaiseRequest()) << "one request, one raise";
    running.Release();
    EXPECT_FALSE(second.HandOver(50));
}

TEST_F(SingleInstanceTest, EachDataFolderHasItsOwnSocket) {
    const std::string a = SingleInstance::SocketName(Path("/home/a/.local/share/KAVOR Industries/ORVEX Studio"));
    const std::string b = SingleInstance::SocketName(Path("/home/b/.local/share/KAVOR Industries/ORVEX Studio"));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind("KAVOR Industries ORVEX Studio Instance Mutex ", 0), 0u) << a;
    EXPECT_LT(a.size(), 100u);
}

TEST_F(SingleInstanceTest, UnusableFolderRunsWithoutTheGuard) {
    SingleInstance instance;
    EXPECT_TRUE(instance.Acquire(Path("/nonexistent/orvex/folder")));
}

}  // namespace
