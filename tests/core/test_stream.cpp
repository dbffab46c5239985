// Stream files: open modes, creation, the save directory, validity and the saved format.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "FolderTest.h"
#include "core/AtomicFile.h"
#include "core/Stream.h"
#include "core/Trace.h"

using namespace testsupport;

namespace {

// Runs each test in a fresh folder holding "assets/data/", with the save directory under "appdata/".
class StreamFileTest : public FolderTest {};

} // namespace

TEST_F(StreamFileTest, DataModeReadsJsonUnderAssetData)
{
    WriteFile(Data("main.json"), R"({"numSystems": 2})");
    Stream stream("main", StreamMode_Data, false);
    EXPECT_TRUE(stream.IsValid());
    EXPECT_EQ(stream.name, "main");
    EXPECT_EQ(stream.text, R"({"numSystems": 2})");
    EXPECT_EQ(stream.GetPath(), "assets/data/main.json");
    ASSERT_TRUE(stream.data.IsObject());
    EXPECT_EQ(stream.ReadInt("numSystems"), 2);
}

TEST_F(StreamFileTest, TilesetAndTileMapModesReadTheirFolders)
{
    WriteFile(Data("tilesets/Floor.json"), R"({"columns": 8})");
    WriteFile(Data("tilemaps/Room.json"), R"({"width": 12, "layers": []})");
    Stream tileset("Floor", StreamMode_Tileset, false);
    Stream map("Room", StreamMode_TileMap, false);
    EXPECT_TRUE(tileset.IsValid());
    EXPECT_TRUE(map.IsValid());
    EXPECT_EQ(tileset.ReadInt("columns"), 8);
    EXPECT_EQ(map.ReadInt("width"), 12);
}

TEST_F(StreamFileTest, RawTextModesKeepTheTextAndParseNothing)
{
    WriteFile(Data("shaders/shader.x.vs.txt"), "#version 330 core\nvoid main() {}\n");
    Stream shader("shaders/shader.x.vs.txt", StreamMode_Text, false);
    EXPECT_TRUE(shader.IsValid());
    EXPECT_TRUE(shader.data.IsNull());
    EXPECT_EQ(shader.ReadString("anything"), "#version 330 core\nvoid main() {}\n");
    EXPECT_EQ(shader.ReadString("object", "field"), shader.text);
    EXPECT_EQ(shader.ReadString("array", 3, "field"), shader.text);

    WriteFile(folder.root / "plain.txt", "{\"a\": 1}");
    Stream path("plain.txt", StreamMode_Path, false);
    EXPECT_TRUE(path.IsValid());
    EXPECT_TRUE(path.data.IsNull());
    EXPECT_EQ(path.ReadString("a"), "{\"a\": 1}");
    EXPECT_EQ(path.ReadString("o", "a"), "");  // only mode 1 answers the object form with the text
    EXPECT_EQ(path.ReadString("a", 0, "b"), "{\"a\": 1}");
}

TEST_F(StreamFileTest, DataModeCreatesAMissingFileOnlyWhenAsked)
{
    testing::internal::CaptureStdout();
    Stream absent("absent", StreamMode_Data, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(absent.IsValid());
    EXPECT_FALSE(fs::exists(Data("absent.json")));

    Stream created("created", StreamMode_Data, true);
    EXPECT_TRUE(created.IsValid());
    EXPECT_EQ(ReadFile(Data("created.json")), "{\n}");
    ASSERT_TRUE(created.data.IsObject());
    EXPECT_EQ(created.data.MemberCount(), 0u);
}

TEST_F(StreamFileTest, DataModeDoesNotCreateFolders)
{
    testing::internal::CaptureStdout();
    Stream stream("nofolder/file", StreamMode_Data, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(stream.IsValid());
    EXPECT_FALSE(fs::exists(Data("nofolder")));
}

TEST_F(StreamFileTest, SaveDirModeCreatesFoldersAndFile)
{
    Stream stream("scripts/variables/StaticVars", StreamMode_SaveDir, true);
    EXPECT_TRUE(stream.IsValid());
    EXPECT_TRUE(fs::is_directory(saveDir.Dir() / "scripts"));
    EXPECT_TRUE(fs::is_directory(saveDir.Dir() / "scripts/variables"));
    EXPECT_EQ(ReadFile(saveDir.Dir() / "scripts/variables/StaticVars.json"), "{\n}");
    EXPECT_EQ(stream.GetPath(), (saveDir.Dir() / "scripts/variables/StaticVars.json").string());
    ASSERT_TRUE(stream.data.IsObject());

    // Backslashes in a name are folder separators as well.
    Stream backslashed("scripts\\other\\Player_Level1", StreamMode_SaveDir, true);
    EXPECT_TRUE(backslashed.IsValid());
    EXPECT_EQ(ReadFile(saveDir.Dir() / "scripts/other/Player_Level1.json"), "{\n}");
}

TEST_F(StreamFileTest, SaveDirModeReadsAnExistingFile)
{
    WriteFile(saveDir.Dir() / "settings.json", R"({"Volume": 0.5})");
    Stream stream("settings", StreamMode_SaveDir, false);
    EXPECT_TRUE(stream.IsValid());
    EXPECT_FLOAT_EQ(stream.ReadFloat("Volume"), 0.5f);
}

TEST_F(StreamFileTest, SaveDirModeReportsAMissingFileWhenNotCreating)
{
    testing::internal::CaptureStdout();
    Stream stream("scripts/variables/Nothing", StreamMode_SaveDir, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to create stream\n");
    EXPECT_FALSE(stream.IsValid());
    EXPECT_FALSE(fs::exists(saveDir.Dir() / "scripts"));
}

TEST_F(StreamFileTest, SaveDirModeWithoutSaveDirectoryIsInvalidAndSilent)
{
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string xdgValue = xdg ? xdg : "";
    unsetenv("APPDATA");
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");

    testing::internal::CaptureStdout();
    Stream stream("scripts/variables/StaticVars", StreamMode_SaveDir, true);
    stream.AddField("x", 1);
    stream.Save();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(stream.IsValid());
    EXPECT_EQ(stream.GetPath(), "");
    EXPECT_FALSE(fs::exists("/Quorvex"));
    EXPECT_FALSE(fs::exists("/scripts/variables/StaticVars.json"));

    if (!home.empty())
        setenv("HOME", home.c_str(), 1);
    if (xdg)
        setenv("XDG_DATA_HOME", xdgValue.c_str(), 1);
}

TEST_F(StreamFileTest, SaveDirFolderThatCannotBeCreatedIsReportedNotThrown)
{
    // The save directory lies below a regular file, so no folder can be made there.
    WriteFile(folder.root / "blocker", "x");
    setenv("APPDATA", (folder.root / "blocker").c_str(), 1);

    testing::internal::CaptureStdout();
    std::unique_ptr<Stream> stream;
    EXPECT_NO_THROW(stream = std::make_unique<Stream>("scripts/variables/StaticVars", StreamMode_SaveDir, true));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(stream->IsValid());
    EXPECT_NE(out.find("Unable to create folder " + (folder.root / "blocker").string() +
                       "/Quorvex/PemmetsDustrun/scripts/variables: "),
              std::string::npos)
        << out;
    EXPECT_TRUE(out.ends_with("\nUnable to create stream\n")) << out;
    EXPECT_EQ(ReadFile(folder.root / "blocker"), "x");
}

TEST_F(StreamFileTest, EmptyFileIsInvalidAndIsNotReplaced)
{
    WriteFile(Data("empty.json"), "");
    WriteFile(saveDir.Dir() / "empty.json", "");
    testing::internal::CaptureStdout();
    Stream data("empty", StreamMode_Data, true);
    Stream save("empty", StreamMode_SaveDir, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(data.IsValid());
    EXPECT_FALSE(save.IsValid());
    EXPECT_EQ(ReadFile(Data("empty.json")), "");
    EXPECT_EQ(ReadFile(saveDir.Dir() / "empty.json"), "");
}

TEST_F(StreamFileTest, BrokenJsonIsValidTextWithNoFieldsAndIsNeverOverwritten)
{
    const std::string broken = "{\"Score\": 5,, \"Name\": ";
    WriteFile(Data("broken.json"), broken);
    Stream stream("broken", StreamMode_Data, true);
    EXPECT_TRUE(stream.IsValid());
    EXPECT_TRUE(stream.data.IsNull());

    testing::internal::CaptureStdout();
    EXPECT_EQ(stream.ReadInt("Score"), 0);
    EXPECT_EQ(stream.ReadString("Name"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error! No field exists with name 'Score'\nError! No field exists with name 'Name'\n");

    stream.WriteData("Score", 7);
    stream.AddField("Extra", 1);
    stream.AddObjectField("Player", "Lives", 3);
    stream.Save();
    EXPECT_EQ(ReadFile(Data("broken.json")), broken);
}

TEST_F(StreamFileTest, RootThatIsNotAnObjectIsNeverOverwritten)
{
    WriteFile(Data("list.json"), "[1, 2, 3]");
    Stream stream("list", StreamMode_Data, true);
    EXPECT_TRUE(stream.IsValid());
    stream.WriteData("x", 1);
    stream.Save();
    EXPECT_EQ(ReadFile(Data("list.json")), "[1, 2, 3]");
}

TEST_F(StreamFileTest, SaveWritesPrettyJsonWithoutFinalNewline)
{
    WriteFile(Data("pretty.json"), R"({"a":1,"b":[1,2]})");
    Stream stream("pretty", StreamMode_Data, false);
    stream.Save();
    EXPECT_EQ(ReadFile(Data("pretty.json")), "{\n"
                                              "    \"a\": 1,\n"
                                              "    \"b\": [\n"
                                              "        1,\n"
                                              "        2\n"
                                              "    ]\n"
                                              "}");
    // The text read at construction is not updated by a save.
    EXPECT_EQ(stream.text, R"({"a":1,"b":[1,2]})");
}

TEST_F(StreamFileTest, SaveWritesFloatsAsTheirDouble)
{
    WriteFile(Data("floats.json"), "{}");
    Stream stream("floats", StreamMode_Data, false);
    stream.AddField("tenth", 0.1f);
    stream.AddField("half", 0.5f);
    stream.AddField("one", 1.0f);
    EXPECT_EQ(ReadFile(Data("floats.json")), "{\n"
                                              "    \"tenth\": 0.10000000149011612,\n"
                                              "    \"half\": 0.5,\n"
                                              "    \"one\": 1.0\n"
                                              "}");
}

TEST_F(StreamFileTest, SaveOfAnUnwritableNumberLeavesTheFile)
{
    WriteFile(Data("nan.json"), R"({"a": 1})");
    Stream stream("nan", StreamMode_Data, false);
    testing::internal::CaptureStdout();
    stream.AddField("bad", std::numeric_limits<float>::quiet_NaN());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Stream nan was not saved: it holds a number that JSON cannot store\n");
    EXPECT_EQ(ReadFile(Data("nan.json")), R"({"a": 1})");
}

namespace {

// A stand-in for fsync: records the path behind each descriptor and what the saved file held at
// that moment; fails (EIO) for the call numbered failAt (from 1).
struct SyncLog {
    static inline std::vector<std::string> paths, contents;
    static inline std::string watched;
    static inline int failAt = 0;
    static int Sync(int descriptor)
    {
        char target[4096] = {};
        const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(descriptor)).c_str(), target, sizeof target - 1);
        paths.push_back(n > 0 ? std::string(target, static_cast<size_t>(n)) : "?");
        contents.push_back(testsupport::ReadFile(watched));
        if (static_cast<int>(paths.size()) == failAt) {
            errno = EIO;
            return -1;
        }
        return 0;
    }
    static void Start(const fs::path& file, int fail)
    {
        paths.clear();
        contents.clear();
        watched = file.string();
        failAt = fail;
        AtomicFile::SetSyncFunction(&Sync);
    }
};

} // namespace

TEST_F(StreamFileTest, SaveSyncsTheFileThenRenamesThenSyncsItsFolder)
{
    // A plain file; one reached through a link (replaced where it lies, the link kept); a missing
    // save file the stream creates.
    for (const std::string kind : {"plain", "link", "created"}) {
        SCOPED_TRACE(kind);
        const bool linked = kind == "link", created = kind == "created";
        const fs::path real = created ? Save("vars/new.json") : Data("deep/vars.json");
        const fs::path named = linked ? Data("run/vars.json") : real;
        WriteFile(real, R"({"a": 1})");
        if (created)
            fs::remove(real);
        if (linked) {
            fs::create_directories(named.parent_path());
            fs::create_symlink("../deep/vars.json", named);
        }
        SyncLog::Start(real, 0);
        if (created) {
            EXPECT_TRUE(Stream("vars/new", StreamMode_SaveDir, true).IsValid());
        } else {
            Stream stream(linked ? "run/vars" : "deep/vars", StreamMode_Data, false);
            stream.data["a"].SetInt(2);
            EXPECT_TRUE(stream.Save());
        }
        AtomicFile::SetSyncFunction(nullptr);
        const std::string folder = fs::canonical(real.parent_path()).string();
        const std::string result = created ? "{\n}" : "{\n    \"a\": 2\n}";
        // The temporary is synced while the old file is still in place; the folder once the new one is.
        EXPECT_EQ(SyncLog::paths, (std::vector<std::string>{folder + "/" + real.filename().string() + ".tmp", folder}));
        EXPECT_EQ(SyncLog::contents, (std::vector<std::string>{created ? "" : R"({"a": 1})", result}));
        EXPECT_EQ(std::distance(fs::directory_iterator(real.parent_path()), fs::directory_iterator()), 1);
        EXPECT_EQ(ReadFile(named), result);
        EXPECT_EQ(fs::is_symlink(named), linked);
        fs::remove_all(Data("deep"));
    }
}

TEST_F(StreamFileTest, FailedSaveKeepsTheOldFileAndTraces)
{
    // A full disk (a 4 KiB file-size limit), a folder that is gone (replaced by a regular file), the
    // temporary file's sync failing, and the folder's sync failing after the rename.
    enum Fault { FullDisk, FolderGone, FileSyncFails, FolderSyncFails };
    struct Case {
        const char* label;
        Fault fault;
    };
    for (const Case& c : {Case{"full disk", FullDisk}, Case{"folder gone", FolderGone},
                          Case{"file sync fails", FileSyncFails}, Case{"folder sync fails", FolderSyncFails}}) {
        SCOPED_TRACE(c.label);
        const fs::path file = Data("deep/vars.json");
        std::string old = "{\n    \"keep\": \"";
        old.append(8000, 'k');
        old += "\"\n}";
        WriteFile(file, old);
        Stream stream("deep/vars", StreamMode_Data, false);
        ASSERT_TRUE(stream.IsValid());
        std::string bigger(9000, 'n');
        stream.data["keep"].SetString(bigger.c_str(), static_cast<rapidjson::SizeType>(bigger.size()),
                                      stream.data.GetAllocator());

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const fs::path moved = Data("deep_moved");
        if (c.fault == FullDisk) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
        } else if (c.fault == FolderGone) {
            fs::rename(Data("deep"), moved);
            WriteFile(Data("deep"), "x");
        } else {
            SyncLog::Start(file, c.fault == FileSyncFails ? 1 : 2);
        }
        bool saved_ok = true;
        const std::string out = CaptureConsole([&] { saved_ok = stream.Save(); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_DFL);
        AtomicFile::SetSyncFunction(nullptr);

        EXPECT_FALSE(saved_ok);
        EXPECT_TRUE(Contains(out, "File assets/data/deep/vars.json was not saved (")) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        if (c.fault != FolderGone) {
            EXPECT_EQ(ReadFile(file), old);
            // Nothing but the file is left in its folder.
            EXPECT_EQ(std::distance(fs::directory_iterator(Data("deep")), fs::directory_iterator()), 1);
            // The game goes on: once there is room again the same stream saves.
            EXPECT_TRUE(stream.Save());
            EXPECT_TRUE(Contains(ReadFile(file), bigger));
        } else {
            EXPECT_EQ(ReadFile(Data("deep")), "x");
            EXPECT_EQ(ReadFile(moved / "vars.json"), old);
            fs::remove(Data("deep"));
        }
        fs::remove_all(Data("deep"));
        fs::remove_all(moved);
    }
}

TEST_F(StreamFileTest, UnknownModeOpensNothing)
{
    WriteFile(Data("main.json"), R"({"a": 1})");
    testing::internal::CaptureStdout();
    Stream stream("main", 9, true);
    EXPECT_FALSE(stream.IsValid());
    EXPECT_TRUE(stream.data.IsNull());
    EXPECT_EQ(stream.ReadInt("a"), 0);
    EXPECT_EQ(stream.ReadInt("a", 0, "b"), -1);
    EXPECT_EQ(stream.ReadString("a"), "");
    stream.Save();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(StreamFileTest, SaveDirModeFollowsXdgDataHomeWithoutAppData)
{
    unsetenv("APPDATA");
    setenv("XDG_DATA_HOME", (folder.root / "xdg").c_str(), 1);
    Stream stream("scripts/variables/StaticVars", StreamMode_SaveDir, true);
    EXPECT_TRUE(stream.IsValid());
    EXPECT_EQ(ReadFile(folder.root / "xdg/Quorvex/PemmetsDustrun/scripts/variables/StaticVars.json"), "{\n}");
    stream.WriteData("Level", 2);
    EXPECT_EQ(ReadFile(folder.root / "xdg/Quorvex/PemmetsDustrun/scripts/variables/StaticVars.json"),
              "{\n    \"Level\": 2\n}");
    unsetenv("XDG_DATA_HOME");
}
