#include "script/ScriptVariables.h"

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

// File name to (variable name to the value the file holds).
std::map<std::string, std::map<std::string, Stream::StreamData>>& Cache()
{
    static std::map<std::string, std::map<std::string, Stream::StreamData>> cache;
    return cache;
}

void Remember(const std::string& file, const std::string& name, const Stream::StreamData& value)
{
    auto& cache = Cache();
    if (cache.size() >= ScriptVariables::CACHE_FILES && cache.find(file) == cache.end())
        cache.clear();
    auto& names = cache[file];
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
    auto found = names->second.find(name);
    return found == names->second.end() ? nullptr : &found->second;
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
    const Stream::StreamData* known = file.empty() ? nullptr : Cached(file, name);
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
    const std::string scene = SceneSystem::GetCurrentScene();
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
    const std::string file = ObjectFile(objectName);
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
