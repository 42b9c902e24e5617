#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "Base/Alerts.h"
#include "Base/FileServices.h"
#include "Session/Deletion.h"
#include "Session/SessionFile.h"
#include "Session/SessionStore.h"
#include "Support/TempFolder.h"
#include "Video/AV/MediaPlayer.h"

namespace {

class SessionStoreTest : public ::testing::Test {
protected:
    SessionStoreTest() : store(settings, elapsed, base) {
        settings.SessionDirectory = dir.Dir();
        store.SetSaveSettings([this] { ++settingsSaves; });
    }
    void TearDown() override { TakeAlerts(); }

    void Touch(const std::string& name) { std::ofstream(dir.File(name)) << "x"; }
    // A history whose last sample is at `seconds`.
    void WriteHistory(const std::string& session, double seconds, int32_t id) {
        SessionData d;
        d.cameras.push_back(std::make_unique<CameraHistory>());
        d.cameras[0]->groups[0].params[1].value = id;
        d.cameras[0]->series[0][3] = {{1, 0.5}, {2, seconds}};
        ASSERT_TRUE(SaveSessionData(dir.AsPath(), session, d));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (const Session& s : store.sessions) n.push_back(s.name);
        return n;
    }

    TempFolder dir;
    Settings settings;
    int64_t elapsed = 0;
    int64_t base = 0;
    int settingsSaves = 0;
    SessionStore store;
};

TEST_F(SessionStoreTest, EmptyFolderHasNoSessionAndTheDefaultPrefix) {
    Touch("foreign.txt");
    elapsed = 77;
    store.RefreshSessions();
    EXPECT_TRUE(store.sessions.empty());
    EXPECT_EQ(store.currentIndex, -1);
    EXPECT_EQ(store.selectedList, -1);
    EXPECT_EQ(store.selectedFile, -1);
    EXPECT_EQ(store.CurrentSession().name, "ORVEX");
    EXPECT_EQ(elapsed, 77);  // no session became current
    EXPECT_EQ(settingsSaves, 0);
    EXPECT_FALSE(store.SaveCurrentSessionData());
}

TEST_F(SessionStoreTest, CreatingSessionsAndTheStartUpChoice) {
    Touch("A-00.00.05.000-P-7-0.jpg");
    Touch("A-00.00.00.000-D-0-0.qsd");
    WriteHistory("B", 42.5, 9);
    settings.RecentSession = "B";
    store.RefreshSessions();
    ASSERT_EQ(store.sessions.size(), 2u);
    EXPECT_EQ(store.CurrentSession().name, "B");  // the recent session, not the first
    EXPECT_EQ(settings.RecentSession, "B");
    ASSERT_EQ(store.data.cameras.size(), 1u);
    // Only its data file: listed, current, nothing viewable, the clock at its last sample.
    EXPECT_TRUE(store.viewable[static_cast<size_t>(store.currentIndex)].empty());
    EXPECT_EQ(base, 42500000);
    EXPECT_EQ(elapsed, 0);
    // The selection falls on the first session that has something to show.
    EXPECT_EQ(store.selectedFile, 0);
    EXPECT_EQ(store.sessions[static_cast<size_t>(store.selectedList)].name, "A");

    const size_t before = store.sessions.size();
    const int existing = store.FindOrCreateSession(store.sessions[0].name);
    EXPECT_EQ(store.sessions[static_cast<size_t>(existing)].name, store.sessions[0].name);
    EXPECT_EQ(store.sessions.size(), before);
    const int created = store.FindOrCreateSession("Job 7");
    EXPECT_EQ(created, 2);
    EXPECT_TRUE(platform::GetFileInfo(Path(dir.File("Job 7-00.00.00.000-D-0-0.qsd")), nullptr));
    EXPECT_EQ(store.FindOrCreateSession("../evil"), -1);
    EXPECT_EQ(store.FindOrCreateSession(""), -1);
    EXPECT_EQ(store.FindOrCreateSession("   "), -1);
    // Surrounding spaces would not survive the scan: the same session, no second data file.
    EXPECT_EQ(store.FindOrCreateSession(" Job 7 "), created);
    EXPECT_EQ(store.sessions.size(), 3u);
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 2u + 4u);
    const int spaced = store.FindOrCreateSession("Pier 4\t ");
    ASSERT_EQ(spaced, 3);
    EXPECT_EQ(store.sessions[3].name, "Pier 4");
    store.currentIndex = spaced;
    store.RefreshSessions();
    EXPECT_EQ(store.CurrentSession().name, "Pier 4");
    EXPECT_EQ(store.currentName, "Pier 4");
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 2u + 5u);
}

TEST_F(SessionStoreTest, ResumedSessionClockContinuesAfterItsLastVideo) {
    // A 2-second video that starts at 00:12:28.000 ends at 12 min 30 s; the history ends earlier.
    WriteHistory("Job", 100.0, 5);
    const std::string video = dir.File("Job-00.12.28.000-V-5-0.mkv");
    const std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i testsrc=duration=2:size=64x48:rate=10 -c:v mpeg4 '" +
                            video + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Touch("Job-00.01.00.000-V-5-1.mkv");  // not a video at all
    Touch("Other-00.00.01.000-P-5-0.jpg");
    settings.RecentSession = "Other";
    store.RefreshSessions();
    EXPECT_EQ(store.CurrentSession().name, "Other");
    elapsed = 5000000;
    // Resuming: make Job current the way the session popup does.
    store.currentIndex = store.sessions[0].name == "Job" ? 0 : 1;
    store.RefreshSessions();
    EXPECT_EQ(store.CurrentSession().name, "Job");
    EXPECT_EQ(elapsed, 0);
    EXPECT_NEAR(static_cast<double>(base), 750000000.0, 150000.0);
    EXPECT_EQ(store.SessionTimeNow(), elapsed + base);
    const MediaInfo& good = store.MediaInfoFor(video);
    EXPECT_NEAR(good.duration, 2.0, 0.15);
    EXPECT_NE(good.file.lastWrite, 0);
    EXPECT_GT(good.file.size, 0u);
    // A file no player opens is measured once (not on every refresh), counts
    // as unmeasurable and is left where it is.
    EXPECT_EQ(store.MediaInfoFor(dir.File("Job-00.01.00.000-V-5-1.mkv")).duration, -1);
    EXPECT_TRUE(std::filesystem::exists(dir.File("Job-00.01.00.000-V-5-1.mkv")));
    // A later refresh of the same session leaves the clock alone.
    elapsed = 123;
    store.RefreshSessions();
    EXPECT_EQ(elapsed, 123);
}

TEST_F(SessionStoreTest, DamagedHistoryTimesNeverPushTheClockPastNamesThatParse) {
    // Sample times no real session reaches (a damaged or hostile data file):
    // the clock stays where new media names still parse back.
    struct Case {
        double lastSample;
        int64_t base;
    };
    const Case cases[] = {
        {9.0e12, 3600000000LL * 1000000},  // about 2.5 million hours: clamped to a million
        {1.0e300, 3600000000LL * 1000000},
        {std::nan(""), 0},
        {-50.0, 0},
    };
    for (const Case& c : cases) {
        WriteHistory("Job", c.lastSample, 5);
        store.currentName.clear();
        store.currentIndex = -1;
        store.RefreshSessions();
        ASSERT_EQ(store.CurrentSession().name, "Job");
        EXPECT_EQ(base, c.base) << c.lastSample;
        MediaEntry video{MediaType::Video, store.SessionTimeNow(), 5, 0};
        std::string session;
        MediaEntry back;
        EXPECT_TRUE(ParseMediaFileName(MediaFileName("Job", video), &session, &back)) << c.lastSample;
        EXPECT_EQ(back, video);
    }
}

TEST_F(SessionStoreTest, OpenMediaHandsTheFileAndItsCameraHistoryToThePlayer) {
    WriteHistory("Job", 30.0, 5);
    const std::string video = dir.File("Job-00.00.10.000-V-5-1.mkv");
    const std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i testsrc=duration=1:size=64x48:rate=10 -c:v mpeg4 '" +
                            video + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Touch("Job-00.00.20.000-P-9-0.jpg");  // a camera with no history in the file
    AV::MediaPlayer player;
    store.SetPlayer(&player);
    store.RefreshSessions();
    ASSERT_EQ(store.viewable[0].size(), 2u);

    store.OpenMedia(0, store.viewable[0][0], false);
    EXPECT_EQ(store.viewed.path.Text(), video);
    EXPECT_EQ(store.viewed.sessionName, "Job");
    EXPECT_EQ(store.viewed.entry.cameraSlot, 1);
    EXPECT_NE(store.viewed.file.lastWrite, 0);
    ASSERT_TRUE(store.playerHistory);
    EXPECT_EQ(store.playerHistory->Id(), 5);
    ASSERT_EQ(store.playerHistory->series[0][3].size(), 2u);
    EXPECT_EQ(player.mediaType.load(), 1);
    {
        std::lock_guard<std::mutex> hold(player.lock);
        EXPECT_EQ(player.filePath, video);
    }

    store.OpenMedia(0, store.viewable[0][1], true);
    EXPECT_EQ(store.playerHistory->Id(), 0);  // a fresh history
    EXPECT_EQ(player.mediaType.load(), 2);

    MediaEntry data{MediaType::Data, 0, 0, 0};
    store.OpenMedia(0, data, true);
    EXPECT_EQ(player.Status(), "Cannot display this file type");
    store.OpenMedia(7, data, true);  // no such session: nothing changes
    EXPECT_EQ(store.viewed.entry.type, MediaType::Data);
    AV::StopPlayer(&player);
}

TEST_F(SessionStoreTest, DeletingTheCurrentAndTheLastSession) {
    WriteHistory("A", 1, 1);
    WriteHistory("B", 2, 2);
    WriteHistory("C", 3, 3);
    Touch("B-00.00.04.000-P-2-0.jpg");
    store.RefreshSessions();
    const std::vector<std::string> order = Names();
    ASSERT_EQ(order.size(), 3u);
    // Make the middle one of the listing current, then delete it.
    store.currentIndex = 1;
    store.RefreshSessions();
    const std::string deleted = order[1];
    const std::string next = order[2];
    MediaDeletion deletion(store);
    deletion.FillSessionDeletion(1);
    EXPECT_EQ(deletion.sessionTotal, store.sessions[1].media.size());
    int steps = 0;
    while (!deletion.SessionDeletionStep(steps < 8 ? 0.5f : 1.0f)) ++steps;
    EXPECT_GE(steps, static_cast<int>(deletion.sessionTotal));
    EXPECT_EQ(deletion.sessionIndex, -1);
    ASSERT_EQ(store.sessions.size(), 2u);
    for (const Session& s : store.sessions) EXPECT_NE(s.name, deleted);
    EXPECT_EQ(store.CurrentSession().name, next);  // the one that took its place
    ASSERT_EQ(store.data.cameras.size(), 1u);
    EXPECT_EQ(store.data.cameras[0]->Id(), next == "A" ? 1 : next == "B" ? 2 : 3);  // its history is loaded

    // Delete what is left, the last one last.
    while (!store.sessions.empty()) {
        deletion.FillSessionDeletion(static_cast<int>(store.sessions.size()) - 1);
        while (!deletion.SessionDeletionStep(1.0f)) {
        }
    }
    EXPECT_EQ(store.currentIndex, -1);
    EXPECT_EQ(store.selectedList, -1);
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 2u);
}

TEST_F(SessionStoreTest, FileDeletionRemovesOneFilePerStepThenRefreshes) {
    WriteHistory("A", 1, 1);
    Touch("A-00.00.04.000-P-1-0.jpg");
    Touch("A-00.00.05.000-P-1-1.jpg");
    store.RefreshSessions();
    ASSERT_EQ(store.viewable[0].size(), 2u);
    MediaDeletion deletion(store);
    deletion.FillFileDeletion({store.MediaPath(0, store.viewable[0][0]), store.MediaPath(0, store.viewable[0][1]),
                               Path(dir.File("never-existed.jpg"))});
    EXPECT_EQ(deletion.filesTotal, 3u);
    EXPECT_FALSE(deletion.FileDeletionStep(0));
    EXPECT_FALSE(deletion.FileDeletionStep(0));
    EXPECT_FALSE(deletion.FileDeletionStep(0));
    EXPECT_FALSE(deletion.FileDeletionStep(0.5f));  // waits for the bar
    EXPECT_TRUE(deletion.FileDeletionStep(0.995f));
    EXPECT_TRUE(store.viewable[0].empty());
    EXPECT_EQ(store.selectedList, -1);
}

}  // namespace
