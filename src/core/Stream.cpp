#include "core/Stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "core/AtomicFile.h"
#include "core/Trace.h"

using rapidjson::Value;

// An assertion site in this file: reports with the line of the check and closes the trace log.
#define STREAM_ASSERT(expression, message) AssertionFailed(expression, "src/Stream", __LINE__, message)

std::string GetSaveDirectory()
{
    static const char* const kSuffix = "/Quorvex/PemmetsDustrun";
    const char* appData = std::getenv("APPDATA");
    if (appData && *appData)
        return std::string(appData) + kSuffix;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + kSuffix;
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.local/share" + kSuffix;
    return "";
}

namespace {

const Value& NullValue()
{
    static const Value null;
    return null;
}

const char* Str(const char* s)
{
    return s ? s : "";
}

bool IsTextMode(int mode)
{
    return mode == StreamMode_Text || mode == StreamMode_Path;
}

bool IsPlainJsonMode(int mode)
{
    return mode == StreamMode_Data || mode == StreamMode_SaveDir;
}

// The member of an object value, or null when the value is not an object or lacks it.
const Value* Member(const Value& object, const char* key)
{
    if (!object.IsObject())
        return nullptr;
    auto it = object.FindMember(key);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

const Value* Element(const Value* array, uint32_t index)
{
    if (!array || !array->IsArray() || index >= array->Size())
        return nullptr;
    return &(*array)[index];
}

float ToFloat(const Value& v)
{
    if (v.IsDouble())
        return static_cast<float>(v.GetDouble());
    if (v.IsInt())
        return static_cast<float>(v.GetInt());
    if (v.IsUint())
        return static_cast<float>(v.GetUint());
    if (v.IsInt64())
        return static_cast<float>(v.GetInt64());
    if (v.IsUint64())
        return static_cast<float>(v.GetUint64());
    return 0.0f;
}

// A JSON integer as itself; another number truncated when it fits in 32 bits; anything else 0.
int32_t ToInt(const Value& v)
{
    if (v.IsInt())
        return v.GetInt();
    if (v.IsNumber()) {
        const double d = v.GetDouble();
        if (d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max())
            return static_cast<int32_t>(d);
    }
    return 0;
}

std::string ToString(const Value& v)
{
    return v.IsString() ? std::string(v.GetString(), v.GetStringLength()) : std::string();
}

// A bool value, or an integer above 0.
bool ToBoolLoose(const Value& v)
{
    if (v.IsInt64())
        return v.GetInt64() > 0;
    if (v.IsUint64())
        return v.GetUint64() > 0;
    return v.IsTrue();
}

void TraceNoField(const char* name)
{
    Trace("Error! No field exists with name '%s'", Str(name));
}

// Every element of a JSON array, converted one by one.
template <typename T, typename Convert>
std::vector<T> ConvertElements(const Value& array, Convert convert)
{
    std::vector<T> result;
    result.reserve(array.Size());
    for (const Value& element : array.GetArray())
        result.push_back(convert(element));
    return result;
}

void ReplaceBackslashes(std::string& path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
}

void PrintUnableToCreate()
{
    std::printf("Unable to create stream\n");
    std::fflush(stdout);
}

// Creates a missing file holding an empty JSON object, durably (see AtomicFile). A file that is there
// but could not be read is never replaced, and a missing folder is not created here.
bool WriteNewObjectFile(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path target(AtomicFile::ResolveLinks(path));
    if (std::filesystem::exists(target, ec) || ec)
        return false;
    const std::filesystem::path folder = target.parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
        return false;
    return AtomicFile::Write(path, "{\n}");
}

// How deeply a JSON text may nest arrays and objects.
constexpr int MAX_NESTING = 256;

// The deepest nesting of arrays and objects in a JSON text (brackets inside strings do not count).
int NestingDepth(const std::string& json)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

} // namespace

// ---- Construction, paths and saving ------------------------------------------------------------------

Stream::Stream(const char* name_, int mode_, bool createIfMissing_)
    : name(Str(name_)), createIfMissing(createIfMissing_), mode(mode_)
{
    const std::string path = GetPath();
    if (path.empty())
        return;  // an unknown mode, or mode 4 without a save directory

    if (mode != StreamMode_SaveDir) {
        bool opened = ReadFile(path);
        if (!opened && mode == StreamMode_Data && createIfMissing) {
            // The folder is not created here: when it is missing, the stream stays invalid.
            WriteNewObjectFile(path);
            ReadFile(path);
        }
        if (!IsTextMode(mode))
            Parse();
        return;
    }

    if (ReadFile(path)) {
        Parse();
        return;
    }
    if (!createIfMissing) {
        PrintUnableToCreate();
        return;
    }
    const std::string folder = path.substr(0, path.find_last_of('/'));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        Trace("Unable to create folder %s: %s", folder.c_str(), ec.message().c_str());
        PrintUnableToCreate();
        return;
    }
    if (WriteNewObjectFile(path) && ReadFile(path)) {
        Parse();
        return;
    }
    PrintUnableToCreate();
}

std::string Stream::GetPath() const
{
    std::string path;
    switch (mode) {
    case StreamMode_Data: path = AssetDataPath + name + ".json"; break;
    case StreamMode_Text: path = AssetDataPath + name; break;
    case StreamMode_Tileset: path = AssetDataPath + "tilesets/" + name + ".json"; break;
    case StreamMode_TileMap: path = AssetDataPath + "tilemaps/" + name + ".json"; break;
    case StreamMode_SaveDir: {
        const std::string saveDir = GetSaveDirectory();
        if (saveDir.empty())
            return "";  // never a path at the filesystem root
        path = saveDir + "/" + name + ".json";
        break;
    }
    case StreamMode_Path: path = name; break;
    default: return "";
    }
    ReplaceBackslashes(path);
    return path;
}

bool Stream::ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

void Stream::Parse()
{
    // The parser and the writer recurse once per level: a file nested deeper than any data needs
    // would exhaust the stack, so it is refused like any other invalid JSON.
    if (NestingDepth(text) > MAX_NESTING) {
        Trace("Stream %s is nested more than %d levels deep; it is not read", name.c_str(), MAX_NESTING);
        data.SetNull();
        return;
    }
    data.Parse(text.c_str(), text.size());
    if (data.HasParseError())
        data.SetNull();
}

bool Stream::Save()
{
    // Only a JSON object is written: a file that held invalid JSON stays as it was.
    if (!data.IsObject())
        return false;
    const std::string path = GetPath();
    if (path.empty())
        return false;
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    if (!data.Accept(writer)) {
        Trace("Stream %s was not saved: it holds a number that JSON cannot store", name.c_str());
        return false;
    }
    // Written whole or not at all: a full disk or a missing folder leaves the old file as it was.
    return AtomicFile::Write(path, buffer.GetString(), buffer.GetSize());
}

// ---- Lookups ------------------------------------------------------------------------------------------

const Value* Stream::Root(const char* fieldName) const
{
    return Member(data, Str(fieldName));
}

const Value* Stream::ElementField(const char* arrayName, uint32_t index, const char* fieldName) const
{
    const Value* element = Element(Root(arrayName), index);
    return element ? Member(*element, Str(fieldName)) : nullptr;
}

void Stream::CheckTilesArray()
{
    const Value* tiles = Root(TS_Tiles.c_str());
    if (!tiles || !tiles->IsArray())
        Trace("Tiles is not an array");
}

const Value& Stream::TilesetLookup(const char* arrayName, uint32_t id, const char* fieldName,
                                   uint32_t propertyIndex)
{
    static const char* const kFail = "Contains no index at id ";
    const std::string array = Str(arrayName);
    const char* field = Str(fieldName);

    CheckTilesArray();
    if (array == "columns") {
        const Value* columns = Root("columns");
        return columns ? *columns : NullValue();
    }
    const Value* tiles = Root(TS_Tiles.c_str());
    if (!tiles || !tiles->IsArray() || tiles->Empty())
        throw std::out_of_range(kFail);

    for (const Value& element : tiles->GetArray()) {
        const Value* elementId = Member(element, TS_TilesID.c_str());
        if (!elementId) {
            Trace("STREAM::TILESET::ERROR::Missing element id in tiles array");
            continue;
        }
        if (!elementId->IsInt64() || elementId->GetInt64() != static_cast<int64_t>(id))
            continue;
        if (array == TS_Objects) {
            const Value* objects = nullptr;
            if (const Value* group = Member(element, TS_ObjectGroup.c_str()))
                objects = Member(*group, TS_Objects.c_str());
            if (!objects)
                continue;
            if (const Value* first = Element(objects, 0))
                if (const Value* value = Member(*first, field))
                    return *value;
            Trace("ERROR: FieldName %s does not exist ", field);
            throw std::out_of_range(kFail);
        }
        if (array == TS_Properties) {
            if (const Value* property = Element(Member(element, TS_Properties.c_str()), propertyIndex))
                if (const Value* value = Member(*property, field))
                    return *value;
            Trace("ERROR: FieldName %s does not exist ", field);
            throw std::out_of_range(kFail);
        }
    }
    throw std::out_of_range(kFail);
}

const Value& Stream::TileMapLookup(const char* arrayName, uint32_t index, const char* fieldName)
{
    const std::string array = Str(arrayName);
    const char* field = Str(fieldName);

    if (!HasMember("layers"))
        Trace("Stream could not find fieldName \"layers \" when reading TileMap.");

    if (array == "tileheight" || array == "tilewidth" || array == "width" || array == "height") {
        const Value* value = Root(array.c_str());
        return value ? *value : NullValue();
    }
    if (array == "tilesets") {
        const Value* tilesets = Root("tilesets");
        const uint32_t count = tilesets && tilesets->IsArray() ? tilesets->Size() : 0;
        if (index >= count)
            throw std::out_of_range("The object index is out of bounds");
        const Value* value = Member((*tilesets)[index], field);
        return value ? *value : NullValue();
    }
    if (array == "layers") {
        const Value* layers = Root("layers");
        const uint32_t count = layers && layers->IsArray() ? layers->Size() : 0;
        for (uint32_t i = 0; i < count; ++i) {
            const Value& layer = (*layers)[i];
            if (!Member(layer, TS_TilesID.c_str())) {
                STREAM_ASSERT("layersArray[i].HasMember(TS_TilesID.c_str())",
                              std::to_string(i) + "<- Missing tile id at index. File name: " + name);
                continue;
            }
            if (i != index)
                continue;
            if (const Value* value = Member(layer, field))
                return *value;
            Trace("Layers index %i does not have fieldName %s", static_cast<int>(index), field);
            STREAM_ASSERT("layersArray[i].HasMember(fieldName)", "");
            return NullValue();
        }
        throw std::out_of_range("The fieldName " + array + " does not exist at given index.");
    }
    throw std::out_of_range("The objectName " + array + " does not exist.");
}

bool Stream::HasMember(const char* fieldName) const
{
    return Root(fieldName) != nullptr;
}

bool Stream::HasMember(const char* objectName, const char* fieldName) const
{
    const Value* object = Root(objectName);
    return object && Member(*object, Str(fieldName));
}

bool Stream::HasValue(const char* objectName, const char* fieldName, ValueKind kind) const
{
    const Value* object = Root(objectName);
    const Value* value = object ? Member(*object, Str(fieldName)) : nullptr;
    if (!value)
        return false;
    const bool fits = (kind == ValueKind::Number && value->IsNumber()) || (kind == ValueKind::Int && value->IsInt()) ||
                      (kind == ValueKind::String && value->IsString()) || (kind == ValueKind::Bool && value->IsBool());
    if (!fits)
        Trace("%s: \"%s\" has the wrong type and is ignored", Str(objectName), Str(fieldName));
    return fits;
}

bool Stream::AssertField(const char* fieldName)
{
    if (HasMember(fieldName))
        return true;
    TraceNoField(fieldName);
    return false;
}

bool Stream::AssertField(const char* objectName, const char* objectField)
{
    const Value* object = Root(objectName);
    if (!object || !object->IsObject()) {
        Trace("Error! No object exists with name '%s'", Str(objectName));
        return false;
    }
    if (!Member(*object, Str(objectField))) {
        Trace("Error! Object has no field with name '%s'", Str(objectField));
        return false;
    }
    return true;
}

// ---- Integer readers ------------------------------------------------------------------------------------

int32_t Stream::ReadInt(const char* fieldName)
{
    if (IsPlainJsonMode(mode) || mode == StreamMode_Tileset) {
        const Value* value = Root(fieldName);
        if (!value || !value->IsNumber()) {
            TraceNoField(fieldName);
            return 0;
        }
        return ToInt(*value);
    }
    if (mode == StreamMode_TileMap) {
        if (!AssertField(fieldName)) {
            STREAM_ASSERT("AssertField(fieldName)", "");
            return 0;
        }
        return ToInt(*Root(fieldName));
    }
    return 0;
}

int32_t Stream::ReadInt(const char* objectName, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* object = Root(objectName);
        if (!object || !object->IsObject()) {
            Trace("ERROR! No object exists with name '%s'", Str(objectName));
            return 0;
        }
        const Value* value = Member(*object, Str(fieldName));
        if (!value || !value->IsNumber()) {
            Trace("ERROR! Object has no field exists with name '%s'", Str(fieldName));
            return 0;
        }
        return ToInt(*value);
    }
    if (mode == StreamMode_Tileset)
        return ToInt(TilesetLookup(objectName, 0, fieldName, 0));
    if (mode == StreamMode_TileMap) {
        if (!AssertField(objectName, fieldName))
            STREAM_ASSERT("AssertField(objectName, objectField)", "");
        return ToInt(TileMapLookup(objectName, 0, fieldName));
    }
    return 0;
}

int32_t Stream::ReadInt(const char* arrayName, uint32_t index, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* value = ElementField(arrayName, index, fieldName);
        return value ? ToInt(*value) : 0;
    }
    if (mode == StreamMode_Tileset) {
        CheckTilesArray();
        return ToInt(TilesetLookup(arrayName, index, fieldName, 0));
    }
    if (mode == StreamMode_TileMap)
        return ToInt(TileMapLookup(arrayName, index, fieldName));
    return -1;
}

// ---- Float readers --------------------------------------------------------------------------------------

float Stream::ReadFloat(const char* fieldName)
{
    if (IsPlainJsonMode(mode) || mode == StreamMode_Tileset) {
        const Value* value = Root(fieldName);
        if (!value || !value->IsNumber()) {
            TraceNoField(fieldName);
            return 0.0f;
        }
        return ToFloat(*value);
    }
    return 0.0f;
}

float Stream::ReadFloat(const char* objectName, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* object = Root(objectName);
        if (!object || !object->IsObject()) {
            TraceNoField(objectName);
            return 0.0f;
        }
        const Value* value = Member(*object, Str(fieldName));
        if (!value || !value->IsNumber()) {
            Trace("Error!  Object has no field with name '%s'", Str(fieldName));
            return 0.0f;
        }
        return ToFloat(*value);
    }
    if (mode == StreamMode_Tileset)
        return ReadFloat(objectName, 0u, fieldName);
    return 0.0f;
}

float Stream::ReadFloat(const char* arrayName, uint32_t index, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* value = ElementField(arrayName, index, fieldName);
        return value ? ToFloat(*value) : 0.0f;
    }
    if (mode == StreamMode_Tileset) {
        CheckTilesArray();
        return ToFloat(TilesetLookup(arrayName, index, fieldName, 0));
    }
    return -1.0f;
}

float Stream::ReadFloatAt(const char* objectName, const char* fieldName, uint32_t index)
{
    if (!IsPlainJsonMode(mode))
        return -1.0f;
    const Value* object = Root(objectName);
    const Value* value = object ? Element(Member(*object, Str(fieldName)), index) : nullptr;
    return value ? ToFloat(*value) : 0.0f;
}

float Stream::ReadFogColor(uint32_t index)
{
    if (!IsPlainJsonMode(mode))
        return 0.0f;
    const Value* value = Element(Root("FogColor"), index);
    return value ? ToFloat(*value) : 0.0f;
}

float Stream::ReadTreasure(uint32_t i, uint32_t j)
{
    if (!IsPlainJsonMode(mode))
        return -1.0f;
    const Value* value = Element(Element(Root("Treasure"), i), j);
    return value ? ToFloat(*value) : 0.0f;
}

// ---- String readers -------------------------------------------------------------------------------------

std::string Stream::ReadString(const char* fieldName)
{
    if (IsPlainJsonMode(mode) || mode == StreamMode_Tileset) {
        const Value* value = Root(fieldName);
        if (!value || !value->IsString()) {
            TraceNoField(fieldName);
            return "";
        }
        return ToString(*value);
    }
    if (mode == StreamMode_TileMap) {
        const Value* value = Root(fieldName);
        if (!value) {
            STREAM_ASSERT("data.HasMember(fieldName)", "No fieldname found with given name ");
            return "";
        }
        return ToString(*value);
    }
    return IsTextMode(mode) ? text : "";
}

std::string Stream::ReadString(const char* objectName, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* object = Root(objectName);
        if (!object || !object->IsObject()) {
            Trace("Error! No object exists with name '%s'", Str(objectName));
            return "";
        }
        const Value* value = Member(*object, Str(fieldName));
        if (!value || !value->IsString()) {
            Trace("Error! Object %s has no field with name '%s'", Str(objectName), Str(fieldName));
            return "";
        }
        return ToString(*value);
    }
    if (mode == StreamMode_Tileset || mode == StreamMode_TileMap)
        return ReadString(objectName, 0u, fieldName);
    return mode == StreamMode_Text ? text : "";
}

std::string Stream::ReadString(const char* arrayName, uint32_t index, const char* fieldName, uint32_t subIndex)
{
    constexpr uint32_t kNoSubIndex = 0xFFFFFFFFu;
    if (IsPlainJsonMode(mode)) {
        const Value* value = ElementField(arrayName, index, fieldName);
        if (value && subIndex != kNoSubIndex)
            value = Element(value, subIndex);
        return value ? ToString(*value) : "";
    }
    if (mode == StreamMode_Tileset)
        return ToString(TilesetLookup(arrayName, index, fieldName, subIndex == kNoSubIndex ? 0 : subIndex));
    if (mode == StreamMode_TileMap)
        return ToString(TileMapLookup(arrayName, index, fieldName));
    return IsTextMode(mode) ? text : "";
}

// ---- Bool readers ---------------------------------------------------------------------------------------

bool Stream::ReadBool(const char* fieldName)
{
    if (IsPlainJsonMode(mode) || mode == StreamMode_Tileset) {
        const Value* value = Root(fieldName);
        if (!value || !value->IsBool()) {
            TraceNoField(fieldName);
            return false;
        }
        return value->IsTrue();
    }
    if (mode == StreamMode_TileMap) {
        const Value* value = Root(fieldName);
        if (!value) {
            STREAM_ASSERT("data.HasMember(fieldName)", "Field name not found");
            return false;
        }
        return value->IsTrue();
    }
    return false;
}

bool Stream::ReadBool(const char* objectName, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* object = Root(objectName);
        if (!object || !object->IsObject()) {
            Trace("Error! No object exists with name '%s'", Str(objectName));
            return false;
        }
        const Value* value = Member(*object, Str(fieldName));
        if (!value || !value->IsBool()) {
            Trace("Error! Object has no field with name '%s'", Str(fieldName));
            return false;
        }
        return value->IsTrue();
    }
    if (mode == StreamMode_Tileset || mode == StreamMode_TileMap)
        return ReadBool(objectName, 0u, fieldName);
    return false;
}

bool Stream::ReadBool(const char* arrayName, uint32_t index, const char* fieldName)
{
    if (IsPlainJsonMode(mode)) {
        const Value* value = ElementField(arrayName, index, fieldName);
        if (!value) {
            TraceNoField(fieldName);
            return false;
        }
        return ToBoolLoose(*value);
    }
    if (mode == StreamMode_Tileset)
        return ToBoolLoose(TilesetLookup(arrayName, index, fieldName, 0));
    if (mode == StreamMode_TileMap)
        return TileMapLookup(arrayName, index, fieldName).IsTrue();
    return false;
}

// ---- Array readers --------------------------------------------------------------------------------------

std::vector<int32_t> Stream::ReadIntArray(const char* fieldName)
{
    if (mode != StreamMode_Data)
        return {};
    const Value* array = Root(fieldName);
    if (!array || !array->IsArray()) {
        TraceNoField(fieldName);
        return {};
    }
    return ConvertElements<int32_t>(*array, ToInt);
}

std::vector<float> Stream::ReadFloatArray(const char* fieldName)
{
    if (mode != StreamMode_Data)
        return {};
    const Value* array = Root(fieldName);
    if (!array || !array->IsArray()) {
        TraceNoField(fieldName);
        return {};
    }
    return ConvertElements<float>(*array, ToFloat);
}

std::vector<std::string> Stream::ReadStringArray(const char* fieldName)
{
    if (!IsPlainJsonMode(mode))
        return {};
    const Value* array = Root(fieldName);
    if (!array || !array->IsArray()) {
        STREAM_ASSERT("false", std::string("Error! No field exists with name '") + Str(fieldName) + "'");
        return {};
    }
    return ConvertElements<std::string>(*array, ToString);
}

std::vector<Vector4f> Stream::ReadVector4fArray(const char* fieldName)
{
    if (!IsPlainJsonMode(mode))
        return {};
    const Value* array = Root(fieldName);
    if (!array || !array->IsArray()) {
        STREAM_ASSERT("false", std::string("Error! No field exists with name '") + Str(fieldName) + "'");
        return {};
    }
    return ConvertElements<Vector4f>(*array, [](const Value& element) {
        const Value* x = Element(&element, 0);
        const Value* y = Element(&element, 1);
        return Vector4f(x ? ToFloat(*x) : 0.0f, y ? ToFloat(*y) : 0.0f);
    });
}

Stream::StreamData Stream::ReadData(const char* fieldName)
{
    const Value* value = Root(fieldName);
    if (!value)
        return StreamData();
    if (value->IsInt())
        return StreamData(static_cast<int32_t>(value->GetInt()));
    if (value->IsDouble() && std::fabs(value->GetDouble()) <= 3.4028234e38)
        return StreamData(static_cast<float>(value->GetDouble()));
    if (value->IsBool())
        return StreamData(value->GetBool());
    if (value->IsString())
        return StreamData(ToString(*value));
    return StreamData();
}

// ---- Writers --------------------------------------------------------------------------------------------

namespace {

using Allocator = rapidjson::Document::AllocatorType;

void SetMember(Value& object, const char* key, Value&& value, Allocator& allocator)
{
    auto it = object.FindMember(key);
    if (it != object.MemberEnd())
        it->value = std::move(value);
    else
        object.AddMember(Value(key, allocator), value, allocator);
}

Value CopyString(const std::string& s, Allocator& allocator)
{
    return Value(s.c_str(), static_cast<rapidjson::SizeType>(s.size()), allocator);
}

// Sets the audio-event members of an object value (keeping any other members it has).
void WriteAudioEvent(Value& target, const AudioEvent& event, Allocator& allocator)
{
    if (!target.IsObject())
        target.SetObject();
    SetMember(target, "audioEventType", CopyString(event.GetTypeName(), allocator), allocator);
    SetMember(target, "audioEventID", CopyString(event.audioEventID, allocator), allocator);
    SetMember(target, "loopedEvent", Value(event.loopedEvent), allocator);
    SetMember(target, "eventStartTrigger", CopyString(event.GetStartTriggerName(), allocator), allocator);
    SetMember(target, "eventStopTrigger", CopyString(event.GetStopTriggerName(), allocator), allocator);
    SetMember(target, "spatializedEvent", Value(event.spatializedEvent), allocator);
    SetMember(target, "parameterValue", Value(static_cast<double>(event.parameterValue)), allocator);
    SetMember(target, "audioParameterID", CopyString(event.audioParameterID, allocator), allocator);
}

Value Vector4fArray(const Vector4f& v, Allocator& allocator)
{
    Value array(rapidjson::kArrayType);
    for (int i = 0; i < 4; ++i)
        array.PushBack(Value(static_cast<double>(v[i])), allocator);
    return array;
}

} // namespace

void Stream::WriteValue(Value& target, const StreamData& value)
{
    Allocator& allocator = data.GetAllocator();
    switch (value.GetType()) {
    case StreamDataType::Int: target.SetInt(value.GetInt()); break;
    case StreamDataType::Float: target.SetDouble(static_cast<double>(value.GetFloat())); break;
    case StreamDataType::Bool: target.SetBool(value.GetBool()); break;
    case StreamDataType::Vector4f: target = Vector4fArray(value.GetVector4f(), allocator); break;
    case StreamDataType::String: target = CopyString(value.GetString(), allocator); break;
    case StreamDataType::IntList:
        target.SetArray();
        for (int32_t i : value.GetIntArray())
            target.PushBack(Value(i), allocator);
        break;
    case StreamDataType::IntList64:
        target.SetArray();
        for (int32_t i : value.GetIntArray())
            target.PushBack(Value(static_cast<int64_t>(i)), allocator);
        break;
    case StreamDataType::FloatList:
        target.SetArray();
        for (float f : value.GetFloatArray())
            target.PushBack(Value(static_cast<double>(f)), allocator);
        break;
    case StreamDataType::Vector4fList:
        target.SetArray();
        for (const Vector4f& v : value.GetVector4fArray())
            target.PushBack(Vector4fArray(v, allocator), allocator);
        break;
    case StreamDataType::StringList:
        target.SetArray();
        for (const std::string& s : value.GetStringArray())
            target.PushBack(CopyString(s, allocator), allocator);
        break;
    case StreamDataType::AudioEvent: WriteAudioEvent(target, value.GetAudioEvent(), allocator); break;
    case StreamDataType::AudioEventList:
        target.SetArray();
        for (const AudioEvent* event : value.GetAudioEventArray()) {
            if (!event)
                continue;
            Value object(rapidjson::kObjectType);
            WriteAudioEvent(object, *event, allocator);
            target.PushBack(object, allocator);
        }
        break;
    }
}

void Stream::WriteData(const char* fieldName, StreamData value)
{
    const bool existed = HasMember(fieldName);
    WriteMember(std::move(value), Str(fieldName), "");
    if (existed)
        Save();
}

void Stream::WriteMember(StreamData value, std::string memberName, std::string field)
{
    if (!data.IsObject())
        return;
    auto it = data.FindMember(memberName.c_str());
    if (field.empty()) {
        if (it != data.MemberEnd())
            WriteValue(it->value, value);
        else if (createIfMissing)
            AddField(memberName.c_str(), std::move(value));
        return;
    }
    if (it != data.MemberEnd()) {
        if (!it->value.IsObject())
            return;  // not an object: there is no field to write into, and it is not replaced
        auto fieldIt = it->value.FindMember(field.c_str());
        if (fieldIt != it->value.MemberEnd()) {
            WriteValue(fieldIt->value, value);
            return;
        }
    }
    if (createIfMissing)
        AddObjectField(memberName.c_str(), field.c_str(), std::move(value));
}

void Stream::AddField(const char* fieldName, StreamData value)
{
    if (!data.IsObject())
        return;
    Value member;
    WriteValue(member, value);
    data.AddMember(Value(Str(fieldName), data.GetAllocator()), member, data.GetAllocator());
    Save();
}

void Stream::AddObjectField(const char* objectName, const char* fieldName, StreamData value)
{
    if (!data.IsObject())
        return;
    auto it = data.FindMember(Str(objectName));
    if (it == data.MemberEnd()) {
        data.AddMember(Value(Str(objectName), data.GetAllocator()), Value(rapidjson::kObjectType),
                       data.GetAllocator());
        it = data.FindMember(Str(objectName));
    }
    if (!it->value.IsObject())
        return;
    Value member;
    WriteValue(member, value);
    it->value.AddMember(Value(Str(fieldName), data.GetAllocator()), member, data.GetAllocator());
    Save();
}

void Stream::WriteMenuObjectField(unsigned index, const char* fieldName, StreamData value)
{
    if (!data.IsObject())
        return;
    auto menuObjects = data.FindMember("MenuObjects");
    if (menuObjects == data.MemberEnd() || !menuObjects->value.IsArray() || index >= menuObjects->value.Size())
        return;
    Value& element = menuObjects->value[index];
    if (!element.IsObject())
        return;
    auto it = element.FindMember(Str(fieldName));
    if (it == element.MemberEnd())
        return;
    if (value.GetType() == StreamDataType::Float)
        it->value.SetDouble(static_cast<double>(value.GetFloat()));
    else if (value.GetType() == StreamDataType::String)
        it->value = CopyString(value.GetString(), data.GetAllocator());
}

// ---- StreamData -----------------------------------------------------------------------------------------

using StreamData = Stream::StreamData;
using StreamDataType = Stream::StreamDataType;

StreamData::StreamData() : type(StreamDataType::Int)
{
    payload.p = nullptr;
    payload.i = 0;
}

StreamData::StreamData(int32_t value) : StreamData()
{
    payload.i = value;
}

StreamData::StreamData(float value) : StreamData()
{
    type = StreamDataType::Float;
    payload.f = value;
}

StreamData::StreamData(bool value) : StreamData()
{
    type = StreamDataType::Bool;
    payload.b = value;
}

StreamData::StreamData(const ::Vector4f& value) : type(StreamDataType::Vector4f)
{
    payload.p = new ::Vector4f(value);
}

StreamData::StreamData(const std::string& value) : type(StreamDataType::String)
{
    payload.p = new std::string(value);
}

StreamData::StreamData(const char* value) : StreamData(std::string(Str(value))) {}

StreamData::StreamData(std::vector<int32_t>&& values) : type(StreamDataType::IntList)
{
    payload.p = new std::vector<int32_t>(std::move(values));
    values.clear();
}

StreamData::StreamData(std::vector<::Vector4f>&& values) : type(StreamDataType::Vector4fList)
{
    payload.p = new std::vector<::Vector4f>(std::move(values));
    values.clear();
}

StreamData::StreamData(std::vector<float> values) : type(StreamDataType::FloatList)
{
    payload.p = new std::vector<float>(std::move(values));
}

StreamData::StreamData(std::vector<std::string> values) : type(StreamDataType::StringList)
{
    payload.p = new std::vector<std::string>(std::move(values));
}

StreamData::StreamData(const ::AudioEvent& event) : type(StreamDataType::AudioEvent)
{
    payload.p = new ::AudioEvent(event);
}

StreamData::StreamData(std::vector<::AudioEvent*> events) : type(StreamDataType::AudioEventList)
{
    payload.p = new std::vector<::AudioEvent*>(std::move(events));
}

StreamData StreamData::IntList64(std::vector<int32_t> values)
{
    StreamData result(std::move(values));
    result.type = StreamDataType::IntList64;
    return result;
}

StreamData::StreamData(const StreamData& other) : StreamData()
{
    CopyFrom(other);
}

StreamData::StreamData(StreamData&& other) noexcept : payload(other.payload), type(other.type)
{
    other.type = StreamDataType::Int;
    other.payload.p = nullptr;
    other.payload.i = 0;
}

StreamData& StreamData::operator=(const StreamData& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

StreamData& StreamData::operator=(StreamData&& other) noexcept
{
    if (this != &other) {
        Release();
        payload = other.payload;
        type = other.type;
        other.type = StreamDataType::Int;
        other.payload.p = nullptr;
        other.payload.i = 0;
    }
    return *this;
}

StreamData::~StreamData()
{
    Release();
}

void StreamData::Release()
{
    switch (type) {
    case StreamDataType::Vector4f: delete static_cast<::Vector4f*>(payload.p); break;
    case StreamDataType::String: delete static_cast<std::string*>(payload.p); break;
    case StreamDataType::IntList:
    case StreamDataType::IntList64: delete static_cast<std::vector<int32_t>*>(payload.p); break;
    case StreamDataType::FloatList: delete static_cast<std::vector<float>*>(payload.p); break;
    case StreamDataType::Vector4fList: delete static_cast<std::vector<::Vector4f>*>(payload.p); break;
    case StreamDataType::StringList: delete static_cast<std::vector<std::string>*>(payload.p); break;
    case StreamDataType::AudioEvent: delete static_cast<::AudioEvent*>(payload.p); break;
    case StreamDataType::AudioEventList: delete static_cast<std::vector<::AudioEvent*>*>(payload.p); break;
    default: break;
    }
    type = StreamDataType::Int;
    payload.p = nullptr;
    payload.i = 0;
}

void StreamData::SetType(StreamDataType newType)
{
    Release();
    switch (newType) {
    case StreamDataType::Int: break;
    case StreamDataType::Float: payload.f = 0.0f; break;
    case StreamDataType::Bool: payload.b = false; break;
    case StreamDataType::Vector4f: payload.p = new ::Vector4f(); break;
    case StreamDataType::String: payload.p = new std::string(); break;
    case StreamDataType::IntList:
    case StreamDataType::IntList64: payload.p = new std::vector<int32_t>(); break;
    case StreamDataType::FloatList: payload.p = new std::vector<float>(); break;
    case StreamDataType::Vector4fList: payload.p = new std::vector<::Vector4f>(); break;
    case StreamDataType::StringList: payload.p = new std::vector<std::string>(); break;
    case StreamDataType::AudioEvent: payload.p = new ::AudioEvent(); break;
    case StreamDataType::AudioEventList: payload.p = new std::vector<::AudioEvent*>(); break;
    default: return;  // an unknown tag leaves int 0
    }
    type = newType;
}

namespace {

// Assigns the value one payload pointer points at to the one another points at.
template <typename T>
void AssignPointee(void* to, const void* from)
{
    *static_cast<T*>(to) = *static_cast<const T*>(from);
}

} // namespace

void StreamData::CopyFrom(const StreamData& other)
{
    if (type != other.type)
        SetType(other.type);
    switch (other.type) {
    case StreamDataType::Int: payload.i = other.payload.i; break;
    case StreamDataType::Float: payload.f = other.payload.f; break;
    case StreamDataType::Bool: payload.b = other.payload.b; break;
    case StreamDataType::Vector4f: AssignPointee<::Vector4f>(payload.p, other.payload.p); break;
    case StreamDataType::String: AssignPointee<std::string>(payload.p, other.payload.p); break;
    case StreamDataType::IntList:
    case StreamDataType::IntList64: AssignPointee<std::vector<int32_t>>(payload.p, other.payload.p); break;
    case StreamDataType::FloatList: AssignPointee<std::vector<float>>(payload.p, other.payload.p); break;
    case StreamDataType::Vector4fList: AssignPointee<std::vector<::Vector4f>>(payload.p, other.payload.p); break;
    case StreamDataType::StringList: AssignPointee<std::vector<std::string>>(payload.p, other.payload.p); break;
    case StreamDataType::AudioEvent: AssignPointee<::AudioEvent>(payload.p, other.payload.p); break;
    case StreamDataType::AudioEventList:
        AssignPointee<std::vector<::AudioEvent*>>(payload.p, other.payload.p);
        break;
    }
}

int32_t StreamData::GetInt() const
{
    return type == StreamDataType::Int ? payload.i : 0;
}

float StreamData::GetFloat() const
{
    return type == StreamDataType::Float ? payload.f : 0.0f;
}

bool StreamData::GetBool() const
{
    return type == StreamDataType::Bool ? payload.b : false;
}

std::string StreamData::GetString() const
{
    return type == StreamDataType::String ? *static_cast<const std::string*>(payload.p) : std::string();
}

::Vector4f StreamData::GetVector4f() const
{
    return type == StreamDataType::Vector4f ? *static_cast<const ::Vector4f*>(payload.p) : ::Vector4f();
}

std::vector<int32_t> StreamData::GetIntArray() const
{
    if (type == StreamDataType::IntList || type == StreamDataType::IntList64)
        return *static_cast<const std::vector<int32_t>*>(payload.p);
    return {};
}

std::vector<float> StreamData::GetFloatArray() const
{
    return type == StreamDataType::FloatList ? *static_cast<const std::vector<float>*>(payload.p)
                                             : std::vector<float>();
}

std::vector<::Vector4f> StreamData::GetVector4fArray() const
{
    return type == StreamDataType::Vector4fList ? *static_cast<const std::vector<::Vector4f>*>(payload.p)
                                                : std::vector<::Vector4f>();
}

std::vector<std::string> StreamData::GetStringArray() const
{
    return type == StreamDataType::StringList ? *static_cast<const std::vector<std::string>*>(payload.p)
                                              : std::vector<std::string>();
}

::AudioEvent StreamData::GetAudioEvent() const
{
    return type == StreamDataType::AudioEvent ? *static_cast<const ::AudioEvent*>(payload.p) : ::AudioEvent();
}

std::vector<::AudioEvent*> StreamData::GetAudioEventArray() const
{
    return type == StreamDataType::AudioEventList ? *static_cast<const std::vector<::AudioEvent*>*>(payload.p)
                                                  : std::vector<::AudioEvent*>();
}

bool Stream::StreamData::SameValue(const StreamData& other) const
{
    if (type != other.type)
        return false;
    switch (type) {
    case StreamDataType::Int: return GetInt() == other.GetInt();
    case StreamDataType::Float: return GetFloat() == other.GetFloat();
    case StreamDataType::Bool: return GetBool() == other.GetBool();
    default: return GetString() == other.GetString();
    }
}
