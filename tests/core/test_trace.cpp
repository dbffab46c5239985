#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <fstream>

#include "core/LinkedList.h"
#include "core/Stream.h"
#include "TestFiles.h"
#include "core/Trace.h"

using namespace testsupport;

namespace {

// Points the save directory at a fresh temporary folder for one test.
class SaveDirTest : public ::testing::Test {
protected:
    void SetUp() override { TraceReset(); }
    void TearDown() override { TraceReset(); }
    fs::path LogPath() const { return saveDir_.LogPath(); }

    TestSaveDir saveDir_;
    const fs::path& root_ = saveDir_.appdata;
};

} // namespace

TEST(SaveDirectory, ResolvesFromEnvironment)
{
    setenv("APPDATA", "/tmp/appdata", 1);
    setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    setenv("HOME", "/tmp/home", 1);
    EXPECT_EQ(GetSaveDirectory(), "/tmp/appdata/Quorvex/PemmetsDustrun");
    setenv("APPDATA", "", 1);
    EXPECT_EQ(GetSaveDirectory(), "/tmp/xdg/Quorvex/PemmetsDustrun");
    unsetenv("APPDATA");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(GetSaveDirectory(), "/tmp/home/.local/share/Quorvex/PemmetsDustrun");
    unsetenv("HOME");
    EXPECT_EQ(GetSaveDirectory(), "");
}

TEST_F(SaveDirTest, TraceWritesConsoleAndLogUntilAnAssertionClosesIt)
{
    testing::internal::CaptureStdout();
    TraceInit();
    Trace("Adding %s...", "MessageSystem");
    AssertionFailed("complete", "src/Message", 142, "This message is 100% not complete");
    Trace("after %d", 1);
    AssertionFailed("again", "src/Message", 150, "second");
    const std::string out = testing::internal::GetCapturedStdout();

    const std::string assertion =
        "Assertion `complete` failed.Location: src/Message Line 142: This message is 100% not complete";
    EXPECT_EQ(out, "Trace log started...\nAdding MessageSystem...\n" + assertion +
                       "\nTrace log ended...\nafter 1\n"
                       "Assertion `again` failed.Location: src/Message Line 150: second\n");
    EXPECT_EQ(ReadFile(LogPath()), "Adding MessageSystem...\n" + assertion + "\n");
}

TEST_F(SaveDirTest, LogThatCannotStartSilencesTrace)
{
    // A plain file where the trace folder should be: the folder cannot be created.
    fs::create_directories(root_ / "Quorvex/PemmetsDustrun");
    std::ofstream(root_ / "Quorvex/PemmetsDustrun/trace") << "x";
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(TraceInit());
    Trace("never shown");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Trace log could not start...\n"), std::string::npos);
    EXPECT_EQ(out.find("never shown"), std::string::npos);
    EXPECT_EQ(TraceLogFile, nullptr);
}

TEST_F(SaveDirTest, NoSaveDirectoryCreatesNothing)
{
    unsetenv("APPDATA");
    unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("HOME");
    testing::internal::CaptureStdout();
    TraceInit();
    const std::string out = testing::internal::GetCapturedStdout();
    if (!savedHome.empty())
        setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(out, "Trace log could not start...\n");
    EXPECT_FALSE(fs::exists("/trace/trace.log") && fs::last_write_time("/trace/trace.log") >
                                                       fs::file_time_type::clock::now() - std::chrono::seconds(5));
}

TEST(LinkedListTest, CursorWalkRemovalAndRangeErrors)
{
    LinkedList list;
    int a = 1, b = 2, c = 3;
    EXPECT_THROW(list[0], std::out_of_range);
    list.PushBack(&a);
    EXPECT_EQ(list.Count(), 1);
    list.PushBack(&b);
    list.PushBack(&c);
    EXPECT_EQ(list[0], &a);
    EXPECT_EQ(list[1], &b);
    EXPECT_EQ(list[2], &c);
    EXPECT_EQ(list[0], &a); // before the cursor: walks again from the head
    EXPECT_EQ(list[2], &c);
    EXPECT_EQ(list.RemoveAt(1), &b); // before the cursor: cursor dropped
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1], &c);
    EXPECT_EQ(list.RemoveAt(1), &c); // the cursor node itself
    EXPECT_EQ(list[0], &a);
    try {
        list.RemoveAt(5);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Given index was too large.");
    }
    EXPECT_THROW(list.RemoveAt(-1), std::out_of_range);
    EXPECT_THROW(list[-1], std::out_of_range);
    EXPECT_THROW(list[1], std::out_of_range);
    list.PushBack(&b);
    EXPECT_EQ(list[1], &b);
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_EQ(list.IndexOf(&b), 0);
    // Appending after the last node went, after the only node went, and after Clear.
    EXPECT_EQ(list.RemoveAt(0), &b);
    list.PushBack(&c);
    list.PushBack(&a);
    list.Clear();
    list.PushBack(&a);
    list.PushBack(&b);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf(&b), 1);
    // Removing a node before the cursor moves the cursor's node down one place.
    int d = 4;
    list.PushBack(&c);
    list.PushBack(&d);
    EXPECT_EQ(list[2], &c);
    EXPECT_EQ(list.RemoveAt(0), &a);
    EXPECT_EQ(list[2], &d);
    EXPECT_EQ(list[1], &c);
}
