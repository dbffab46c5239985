#pragma once
// Compiles the MoonScript sources in "./assets/data/scripts/MoonScript/" with our compiler
// (assets/data/scripts/Moon_Compiler/moonc) at start, and again on any frame where a source is new or
// its last-write time changed. The compiler writes each Lua file straight into the save directory's
// "scripts/lua/" folder, which BehaviorScript falls back on for scripts that are not among the assets;
// nothing is ever written into the data folder.
#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ISystem.h"

class MoonBoot_System : public ISystem {
public:
    static constexpr const char* kSourceFolder = "./assets/data/scripts/MoonScript/";
    static constexpr const char* kCompiler = "assets/data/scripts/Moon_Compiler/moonc";
    // The compiler's exit status when it could not write its output.
    static constexpr int kCannotWrite = 3;

    std::string GetName() override { return "MoonBoot"; }
    // Traces "MoonBoot Booting", then compiles every source.
    void Init() override;
    // Recompiles what changed since the last look.
    void Update(float dt) override;
    void Draw() override {}

    // Records the last-write time of every source in the folder and compiles it.
    void CompileDirectory();
    // RecompileIfChanged for every entry of the folder.
    void CheckDirectory();
    // Compiles a source the map doesn't know yet or whose last-write time differs from the map's.
    void RecompileIfChanged(const std::filesystem::directory_entry& entry);
    // Runs the compiler on one source with its output in the save directory's "scripts/lua/" folder.
    // Traces "[MoonC]: Compiler Error!" when the source did not compile and "MoonBoot: could not
    // write <output>" when it compiled but the output could not be written, then each line the
    // compiler printed ("[MoonC]: <file>:<line>: <message>"); either way the script installed before
    // stays.
    void CompileMoonScript(const std::string& source);

    // A source is an entry that is not a folder and whose file name contains ".moon" anywhere.
    bool IsSource(const std::filesystem::directory_entry& entry);
    // The file name with its first ".moon" removed and ".lua" appended: Door.moon gives Door.lua.
    static std::string LuaPathFor(const std::string& source);

private:
    // At most this much of the compiler's messages reaches the trace.
    static constexpr size_t kMaxMessageBytes = 2000;
    static constexpr int kMaxMessageLines = 10;
    // Reads a descriptor to its end; keeps the first kMaxMessageBytes.
    static std::string ReadAll(int descriptor);
    // Traces each non-empty line of the compiler's messages.
    static void TraceMessages(const std::string& messages);
    // Lists the folder; an error is traced once (until a listing works again) and gives what was read.
    std::vector<std::filesystem::directory_entry> ListFolder();
    // Traces a file-system error the first time its key fails; Forget lets it be traced again.
    void ReportOnce(const std::string& key, const std::string& operation, const std::string& path,
                    const std::error_code& error);
    void Forget(const std::string& key) { reported_.erase(key); }
    void Report(const std::string& operation, const std::string& path, const std::error_code& error);
    // The save directory's "scripts/lua/" folder, made when missing; empty (traced) when there is no
    // save directory or the folder can't be made.
    std::filesystem::path ScriptFolder(const std::string& source);

    std::unordered_map<std::string, std::filesystem::file_time_type> writeTimes_;
    std::set<std::string> reported_;
};
