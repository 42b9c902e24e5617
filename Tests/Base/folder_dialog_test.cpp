// The system folder chooser run on its worker thread, against stand-in
// "zenity" and "kdialog" scripts on PATH: the answer, a cancel, a chooser
// that fails, and which chooser is found.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Base/FolderDialog.h"
#include "Support/FileText.h"
#include "Support/Wait.h"
#include "Support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
using platform::FolderDialogJob;

void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
}

// PATH for one test; restored afterwards.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& value) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

FolderDialogJob::State WaitForAnswer(FolderDialogJob& job, Path* folder) {
    FolderDialogJob::State state = FolderDialogJob::State::Running;
    testsupport::WaitUntil(
        [&] {
            state = job.Poll(folder);
            return state != FolderDialogJob::State::Running;
        },
        20s, 10ms);
    return state;
}

TEST(FolderDialog, FindsZenityBeforeKdialogAndNothingOnAnEmptyPath) {
    TempFolder a, b;
    WriteScript(a.File("kdialog"), "exit 0");
    WriteScript(b.File("zenity"), "exit 0");
    {
        ScopedPath path(a.Dir() + ":" + b.Dir());
        EXPECT_EQ(platform::ExternalFolderChooser(), "zenity");
    }
    {
        ScopedPath path(a.Dir());
        EXPECT_EQ(platform::ExternalFolderChooser(), "kdialog");
    }
    {
        ScopedPath path("");
        EXPECT_EQ(platform::ExternalFolderChooser(), "");
    }
}

TEST(FolderDialog, CommandsStartAtTheInitialFolder) {
    const auto z = platform::FolderChooserCommand("zenity", Path("/srv/jobs"));
    EXPECT_EQ(z, (std::vector<std::string>{"zenity", "--file-selection", "--directory", "--title=Choose a folder",
                                           "--filename=/srv/jobs/"}));
    const auto k = platform::FolderChooserCommand("kdialog", Path("/srv/jobs"));
    EXPECT_EQ(k[0], "kdialog");
    EXPECT_EQ(k[1], "--getexistingdirectory");
    EXPECT_EQ(k[2], "/srv/jobs");
}

TEST(FolderDialog, OutputBecomesAPathWithoutTrailingSeparator) {
    Path folder;
    ASSERT_TRUE(platform::ParseChooserOutput("/media/usb/Export/\n", &folder));
    EXPECT_EQ(folder.Text(), "/media/usb/Export");
    EXPECT_FALSE(platform::ParseChooserOutput("\n", &folder));
    EXPECT_FALSE(platform::ParseChooserOutput("", &folder));
}

TEST(FolderDialog, PickCancelAndFailureAreReportedOnce) {
    TempFolder temp;
    struct Case {
        const char* body;
        FolderDialogJob::State state;
        const char* folder;
    } cases[] = {
        {"echo \"$4\" | sed 's/--filename=//'", FolderDialogJob::State::Picked, "/srv/start"},
        {"exit 1", FolderDialogJob::State::Cancelled, ""},
        {"echo oops; exit 5", FolderDialogJob::State::Failed, ""},
        {"kill -9 $$", FolderDialogJob::State::Failed, ""},
    };
    for (const Case& c : cases) {
        WriteScript(temp.File("zenity"), c.body);
        FolderDialogJob job;
        ASSERT_TRUE(job.Start({temp.File("zenity"), "--file-selection", "--directory", "--title=x", "--filename=/srv/start/"}));
        Path folder;
        EXPECT_EQ(WaitForAnswer(job, &folder), c.state) << c.body;
        EXPECT_EQ(folder.Text(), c.folder) << c.body;
        EXPECT_EQ(job.Poll(&folder), FolderDialogJob::State::Idle);  // reported once
    }
}

TEST(FolderDialog, MissingChooserFailsWithoutHanging) {
    FolderDialogJob job;
    ASSERT_TRUE(job.Start({"/nonexistent/zenity"}));
    Path folder;
    EXPECT_EQ(WaitForAnswer(job, &folder), FolderDialogJob::State::Failed);
}

TEST(FolderDialog, TheUiThreadNeverWaitsForTheChooser) {
    TempFolder temp;
    const std::string pidFile = temp.File("pid");
    WriteScript(temp.File("zenity"), "echo $$ > '" + pidFile + ".part' && mv '" + pidFile + ".part' '" + pidFile +
                                         "'\n"
                                         // A chooser nobody answers: it ends only when the job stops it.
                                         "exec tail -f /dev/null");
    auto job = std::make_unique<FolderDialogJob>();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(job->Start({temp.File("zenity")}));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !testfiles::ReadText(pidFile).empty(); }, 20s, 10ms));
    const int pid = std::atoi(testfiles::ReadText(pidFile).c_str());
    ASSERT_GT(pid, 0);
    Path folder;
    EXPECT_EQ(job->Poll(&folder), FolderDialogJob::State::Running);
    EXPECT_FALSE(job->Start({temp.File("zenity")}));  // one pick at a time
    EXPECT_EQ(job->Poll(&folder), FolderDialogJob::State::Running);
    job.reset();  // stops the chooser, joins nothing
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    const std::string proc = "/proc/" + std::to_string(pid) + "/stat";
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            const std::string stat = testfiles::ReadText(proc);
            return stat.empty() || stat.find(") Z") != std::string::npos;  // gone or reaped soon
        },
        10s, 10ms));
}

}  // namespace
