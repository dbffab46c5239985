#include "script/ScriptVariables.h"

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <map>

#include "core/Trace.h"
#include "world/SceneSystem.h"

namespace {

const char* const kFolder = "scripts/variables/";

// A name that stays one file name inside the variables folder.
bool IsPlainName(const std::string& name)
{
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name.find("..") == std::string::npos && name.find('\0') == std::string::npos;
}

// Opens the variables file and hands it to use; false (reported for objectName) when the file does
// not hold a JSON object, false without a file.
template <typename Use>
bool WithVariables(const std::string& file, const std::string& objectName, Use use)
{
    if (file.empty())
        return false;
    Stream stream(file.c_str(), StreamMode_SaveDir, true);
    if (!stream.IsValid() || !stream.data.IsObject()) {
        Trace("[Lua] Error: Stream Data '%s ' is invalid", objectName.c_str());
        return false;
    }
    return use(stream);
}

// What a file was when its values were cached (device, inode, size, modification time): another file
// put in its place, or the same one written, gives another stamp; a missing file gives zeros.
using Stamp = std::array<long long, 5>;

Stamp StampOf(const std::string& file)
{
    const std::string saveDir = GetSaveDirectory();
    struct stat info {};
    if (saveDir.empty() || ::stat((saveDir + "/" + file + ".json").c_str(), &info) != 0)
        return {};
    return {static_cast<long long>(info.st_dev), static_cast<long long>(info.st_ino), info.st_size,
            info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

struct CachedFile {
    Stamp stamp;
    std::map<std::string, Stream::StreamData> names;  // variable name to the value the file holds
};

// File name to what is cached of it.
std::map<std::string, CachedFile>& Cache()
{
    static std::map<std::string, CachedFile> cache;
    return cache;
}

void Remember(const std::string& file, const std::string& name, const Stream::StreamData& value)
{
    auto& cache = Cache();
    if (cache.size() >= ScriptVariables::CACHE_FILES && cache.find(file) == cache.end())
        cache.clear();
    CachedFile& cached = cache[file];
    cached.stamp = StampOf(file);
    auto& names = cached.names;
    auto found = names.find(name);
    if (found != names.end())
        found->second = value;
    else if (names.size() < ScriptVariables::CACHE_NAMES)
        names.emplace(name, value);
}

const Stream::StreamData* Cached(const std::string& file, const std::string& name)
{
    auto& cache = Cache();
    auto names = cache.find(file);
    if (names == cache.end())
        return nullptr;
    auto found = names->second.names.find(name);
    return found == names->second.names.end() ? nullptr : &found->second;
}

// Drops what is cached of a file that changed on disk since it was cached.
void ForgetIfChanged(const std::string& file)
{
    auto& cache = Cache();
    auto cached = cache.find(file);
    if (cached != cache.end() && cached->second.stamp != StampOf(file))
        cache.erase(cached);
}

} // namespace

bool ScriptVariables::ReadCached(const std::string& file, const std::string& name, const std::string& objectName,
                                 Stream::StreamData& value)
{
    if (const Stream::StreamData* known = file.empty() ? nullptr : Cached(file, name)) {
        value = *known;
        return true;
    }
    if (!Read(file, name, objectName, value))
        return false;
    Remember(file, name, value);
    return true;
}

bool ScriptVariables::WriteCached(const std::string& file, const std::string& name, const std::string& objectName,
                                  const Stream::StreamData& value)
{
    if (file.empty())
        return Write(file, name, objectName, value);
    // An edit on disk within the frame: the set is written whatever the cache last saw.
    ForgetIfChanged(file);
    const Stream::StreamData* known = Cached(file, name);
    if (known && known->SameValue(value))
        return true;
    if (!Write(file, name, objectName, value))
        return false;
    Remember(file, name, value);
    return true;
}

void ScriptVariables::ForgetCache()
{
    Cache().clear();
}

std::string ScriptVariables::ObjectFile(const std::string& objectName)
{
    return ObjectFile(objectName, SceneSystem::GetCurrentScene());
}

std::string ScriptVariables::ObjectFile(const std::string& objectName, const std::string& scene)
{
    for (const std::string* name : {&objectName, &scene}) {
        if (!IsPlainName(*name)) {
            Trace("[Lua] Error: '%s' can't name a variables file", name->c_str());
            return "";
        }
    }
    return kFolder + objectName + "_" + scene;
}

bool ScriptVariables::Read(const std::string& file, const std::string& name, const std::string& objectName,
                           Stream::StreamData& value)
{
    return WithVariables(file, objectName, [&](Stream& stream) {
        value = stream.ReadData(name.c_str());
        return true;
    });
}

bool ScriptVariables::Write(const std::string& file, const std::string& name, const std::string& objectName,
                            const Stream::StreamData& value)
{
    return WithVariables(file, objectName, [&](Stream& stream) {
        auto& allocator = stream.data.GetAllocator();
        rapidjson::Value member;
        switch (value.GetType()) {
        case Stream::StreamDataType::Int: member.SetInt(value.GetInt()); break;
        case Stream::StreamDataType::Float: member.SetDouble(static_cast<double>(value.GetFloat())); break;
        case Stream::StreamDataType::Bool: member.SetBool(value.GetBool()); break;
        default: {
            const std::string text = value.GetString();
            member.SetString(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
        }
        }
        auto existing = stream.data.FindMember(name.c_str());
        if (existing != stream.data.MemberEnd())
            existing->value = std::move(member);
        else
            stream.data.AddMember(rapidjson::Value(name.c_str(), allocator), member, allocator);
        return stream.Save();
    });
}

void ScriptVariables::Reset(const std::string& objectName)
{
    Reset(objectName, SceneSystem::GetCurrentScene());
}

void ScriptVariables::Reset(const std::string& objectName, const std::string& scene)
{
    const std::string file = ObjectFile(objectName, scene);
    if (file.empty())
        return;
    Cache().erase(file);
    Stream stream(file.c_str(), StreamMode_SaveDir, true);
    if (!stream.IsValid() || !stream.data.IsObject())
        return;
    stream.data.SetObject();
    stream.Save();
}

int ScriptVariables::ToInt(const Stream::StreamData& value)
{
    switch (value.GetType()) {
    case Stream::StreamDataType::Int: return value.GetInt();
    case Stream::StreamDataType::Float: {
        const float f = value.GetFloat();
        if (!(std::fabs(f) < 2147483520.0f))
            return f > 0.0f ? 2147483647 : (f < 0.0f ? -2147483647 - 1 : 0);
        return static_cast<int>(f);
    }
    case Stream::StreamDataType::Bool: return value.GetBool() ? 1 : 0;
    default: return 0;
    }
}

float ScriptVariables::ToFloat(const Stream::StreamData& value)
{
    switch (value.GetType()) {
    case Stream::StreamDataType::Int: return static_cast<float>(value.GetInt());
    case Stream::StreamDataType::Float: return value.GetFloat();
    case Stream::StreamDataType::Bool: return value.GetBool() ? 1.0f : 0.0f;
    default: return 0.0f;
    }
}

bool ScriptVariables::ToBool(const Stream::StreamData& value)
{
    switch (value.GetType()) {
    case Stream::StreamDataType::Int: return value.GetInt() != 0;
    case Stream::StreamDataType::Float: return value.GetFloat() != 0.0f;
    case Stream::StreamDataType::Bool: return value.GetBool();
    default: return false;
    }
}

std::string ScriptVariables::ToString(const Stream::StreamData& value)
{
    return value.GetType() == Stream::StreamDataType::String ? value.GetString() : std::string();
}
