#pragma once
// The files behind script variables, in the save directory: one per object and scene
// ("scripts/variables/<object>_<scene>.json") and the run's static variables
// ("scripts/variables/StaticVars.json"). Each is one JSON object whose members are the variables.
// Files are written whole by Stream::Save, so an interrupted write never leaves a cut-off file. Names are used as file names only: an object or
// scene name holding a path separator or ".." is refused.
#include <cstddef>
#include <string>

#include "core/Stream.h"

class ScriptVariables {
public:
    static constexpr const char* STATIC_FILE = "scripts/variables/StaticVars";

    // The variables file of an object in the current scene; "" (traced) when either name could leave
    // the variables folder.
    static std::string ObjectFile(const std::string& objectName);
    // The same for the object in a scene given by name.
    static std::string ObjectFile(const std::string& objectName, const std::string& scene);
    // Reads one variable. False (traced "[Lua] Error: Stream Data '<objectName> ' is invalid") when
    // the file is empty, unreadable or not a JSON object; a missing member reads as int 0.
    static bool Read(const std::string& file, const std::string& name, const std::string& objectName,
                     Stream::StreamData& value);
    // Writes one variable (int, float, bool or string) into the file, whole. False (traced as Read)
    // when the file can't take it.
    static bool Write(const std::string& file, const std::string& name, const std::string& objectName,
                      const Stream::StreamData& value);
    // Empties the object's file of its variables in the current scene (or in the scene named), when it
    // holds a JSON object (any other text stays), and drops what was cached of it, so a later read
    // gets what the file holds.
    static void Reset(const std::string& objectName);
    static void Reset(const std::string& objectName, const std::string& scene);

    // Object variables through one cache per file, shared by every handle and kept for one frame, so
    // repeated reads within a frame cost no file access, every handle reads what the file holds (a
    // file changed on disk is seen from the next frame on), and a set is written whenever the file's
    // value differs: a set of the cached value still reaches a file that was changed on disk since it
    // was cached. Same results as Read and Write.
    static bool ReadCached(const std::string& file, const std::string& name, const std::string& objectName,
                           Stream::StreamData& value);
    static bool WriteCached(const std::string& file, const std::string& name, const std::string& objectName,
                            const Stream::StreamData& value);
    // Drops every cached value: the scripting system calls it once a frame, and a new run of it
    // reads the files afresh.
    static void ForgetCache();
    // At most this many names are cached per file, and this many files.
    static constexpr std::size_t CACHE_NAMES = 100;
    static constexpr std::size_t CACHE_FILES = 256;

    // The value as each getter gives it: numbers convert, a text gives the default (and only a text
    // is a string).
    static int ToInt(const Stream::StreamData& value);
    static float ToFloat(const Stream::StreamData& value);
    static bool ToBool(const Stream::StreamData& value);
    static std::string ToString(const Stream::StreamData& value);
};
