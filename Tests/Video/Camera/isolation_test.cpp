// Test runs keep their traffic on this machine: ctest starts the program in a
// private network namespace (tools/with-netns) that has only "lo", or, where
// none can be made, with ORVEX_MDNS_LOOPBACK_ONLY limiting discovery to
// loopback. Also the switch itself and the wrapper's two ways (addresses
// 127.0.10.30-39).
#include <gtest/gtest.h>
#include <net/if.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CameraSim/Unit.h"
#include "CameraTestUtil.h"
#include "Support/FileText.h"
#include "Support/TempFolder.h"
#include "Video/Camera/Mdns.h"

namespace {

std::vector<std::string> InterfaceNames() {
    std::vector<std::string> names;
    struct if_nameindex* list = if_nameindex();
    if (list == nullptr) return names;
    for (struct if_nameindex* i = list; i->if_index != 0; ++i) names.push_back(i->if_name);
    if_freenameindex(list);
    return names;
}

// Standard output and error of a shell command line, and its exit code.
struct Ran {
    std::string output;
    int code = -1;
};
Ran RunShell(const std::string& command) {
    Ran ran;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return ran;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) ran.output.append(buffer, n);
    const int status = pclose(p);
    ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

const std::string kWrapper = std::string(ORVEX_SOURCE_DIR) + "/tools/with-netns";

TEST(TestIsolation, OnlyLoopbackOrDiscoveryOnLoopback) {
    const std::vector<std::string> names = InterfaceNames();
    ASSERT_FALSE(names.empty());
    const bool onlyLoopback = names == std::vector<std::string>{"lo"};
    EXPECT_TRUE(onlyLoopback || MdnsLoopbackOnly())
        << "started outside tools/with-netns: " << testing::PrintToString(names);
    for (const std::string& address : MdnsQueryInterfaces(MdnsLoopbackOnly()))
        EXPECT_EQ(address.rfind("127.", 0), 0u) << address;
}

struct SwitchCase {
    const char* value;  // nullptr: unset
    bool loopbackOnly;
};

TEST(MdnsSwitch, ReadFromTheEnvironment) {
    const SwitchCase cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"yes", true}};
    const char* before = getenv("ORVEX_MDNS_LOOPBACK_ONLY");
    const std::string saved = before ? before : "";
    for (const SwitchCase& c : cases) {
        if (c.value)
            setenv("ORVEX_MDNS_LOOPBACK_ONLY", c.value, 1);
        else
            unsetenv("ORVEX_MDNS_LOOPBACK_ONLY");
        EXPECT_EQ(MdnsLoopbackOnly(), c.loopbackOnly) << (c.value ? c.value : "(unset)");
    }
    if (before)
        setenv("ORVEX_MDNS_LOOPBACK_ONLY", saved.c_str(), 1);
    else
        unsetenv("ORVEX_MDNS_LOOPBACK_ONLY");
}

TEST(MdnsSwitch, LoopbackOnlyKeepsOnlyLoopbackInterfaces) {
    const std::vector<std::string> all = MdnsQueryInterfaces(false);
    const std::vector<std::string> loopback = MdnsQueryInterfaces(true);
    ASSERT_FALSE(loopback.empty());
    EXPECT_NE(std::find(loopback.begin(), loopback.end(), "127.0.0.1"), loopback.end());
    for (const std::string& address : loopback) {
        EXPECT_EQ(address.rfind("127.", 0), 0u) << address;
        EXPECT_NE(std::find(all.begin(), all.end(), address), all.end()) << address;
    }
}

// With the switch on, the query still reaches a unit on loopback.
TEST(MdnsSwitch, UnitOnLoopbackStillAnswers) {
    setenv("ORVEX_MDNS_LOOPBACK_ONLY", "1", 1);
    camsim::Options o;
    o.address = "127.0.10.31";
    o.name = cameratest::UniqueStem("switch");
    camsim::Unit unit(o);
    ASSERT_TRUE(unit.Start());
    std::string out;
    EXPECT_TRUE(MdnsQueryIPv4(o.name + ".local", &out));
    EXPECT_EQ(out, "127.0.10.31");
}

// The wrapper, nested inside the namespace ctest already made: the command
// sees only "lo", up, and keeps its arguments and exit code.
TEST(WithNetns, CommandSeesOnlyLoopbackUp) {
    if (RunShell("unshare -n true || unshare -r -n true").code != 0)
        GTEST_SKIP() << "no network namespace can be made here (NoNamespaceTurnsOnTheSwitch covers this case)";
    const Ran links = RunShell(kWrapper + " ip -o link show");
    ASSERT_EQ(links.code, 0) << links.output;
    const std::vector<std::string> lines = testfiles::Lines(links.output);
    ASSERT_EQ(lines.size(), 1u) << links.output;
    EXPECT_EQ(lines[0].rfind("1: lo: <LOOPBACK,UP", 0), 0u) << links.output;
    const Ran code = RunShell(kWrapper + " sh -c 'echo \"$1|$2\"; exit 7' sh 'two words' x");
    EXPECT_EQ(code.code, 7);
    EXPECT_EQ(code.output, "two words|x\n");
}

// Where no namespace can be made (an unshare that fails stands in for a
// kernel without user namespaces), the command still runs, with discovery
// limited to loopback, and a note says so.
TEST(WithNetns, NoNamespaceTurnsOnTheSwitch) {
    TempFolder dir;
    testfiles::WriteText(dir.File("unshare"), "#!/bin/sh\nexit 1\n");
    ASSERT_EQ(chmod(dir.File("unshare").c_str(), 0755), 0);
    const Ran ran =
        RunShell("env -u ORVEX_MDNS_LOOPBACK_ONLY PATH='" + dir.Dir() + ":" + getenv("PATH") + "' " + kWrapper +
            " sh -c 'echo \"switch=$ORVEX_MDNS_LOOPBACK_ONLY\"'");
    EXPECT_EQ(ran.code, 0);
    EXPECT_NE(ran.output.find("switch=1\n"), std::string::npos) << ran.output;
    EXPECT_NE(ran.output.find("with-netns: no private network namespace here"), std::string::npos) << ran.output;
}

}  // namespace
