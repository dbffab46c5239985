// Streams and their readers and writers on any bytes: every reader over the file's own keys (and the
// tileset and tile-map lookups), the writers, and a round trip through Save that must read back the
// same document.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <rapidjson/document.h>

#include "FuzzSupport.h"
#include "core/Stream.h"

namespace {

void ReadKey(Stream& stream, const rapidjson::Value::ConstMemberIterator& it);

// Every reader over every key of the file. Tileset and tile-map lookups report an absent entry by
// throwing std::out_of_range, by design.
void ReadKeys(Stream& stream, const rapidjson::Value& shape)
{
    if (!shape.IsObject())
        return;
    for (auto it = shape.MemberBegin(); it != shape.MemberEnd(); ++it) {
        try {
            ReadKey(stream, it);
        } catch (const std::out_of_range&) {
        }
    }
    for (std::uint32_t i : {0u, 3u, 99u})
        stream.ReadFogColor(i);
    stream.ReadTreasure(0, 0);
    stream.ReadTreasure(7, 99);
}

void ReadKey(Stream& stream, const rapidjson::Value::ConstMemberIterator& it)
{
    {
        const std::string key(it->name.GetString(), it->name.GetStringLength());
        const char* k = key.c_str();
        stream.HasMember(k);
        stream.AssertField(k);
        stream.ReadInt(k);
        stream.ReadFloat(k);
        stream.ReadString(k);
        stream.ReadBool(k);
        stream.ReadData(k);
        stream.ReadIntArray(k);
        stream.ReadFloatArray(k);
        stream.ReadStringArray(k);
        stream.ReadVector4fArray(k);
        stream.ReadInt(k, 0u, "id");
        stream.ReadFloat(k, 1u, "x");
        stream.ReadString(k, 0u, "type", 0u);
        stream.ReadString(k, 2u, "name");
        stream.ReadBool(k, 0u, "visible");
        if (it->value.IsObject()) {
            for (auto field = it->value.MemberBegin(); field != it->value.MemberEnd(); ++field) {
                const std::string name(field->name.GetString(), field->name.GetStringLength());
                const char* n = name.c_str();
                stream.HasMember(k, n);
                stream.AssertField(k, n);
                stream.ReadInt(k, n);
                stream.ReadFloat(k, n);
                stream.ReadString(k, n);
                stream.ReadBool(k, n);
                stream.ReadFloatAt(k, n, 0);
                stream.ReadFloatAt(k, n, 3);
            }
        }
    }
}

// Same shape, same strings and booleans, numbers equal to within their printed precision.
bool Same(const rapidjson::Value& a, const rapidjson::Value& b)
{
    if (a.IsNumber() || b.IsNumber()) {
        if (!a.IsNumber() || !b.IsNumber())
            return false;
        const double x = a.GetDouble();
        const double y = b.GetDouble();
        return x == y || std::fabs(x - y) <= 1e-12 * std::fmax(std::fabs(x), std::fabs(y));
    }
    if (a.GetType() != b.GetType())
        return false;
    if (a.IsString())
        return a.GetStringLength() == b.GetStringLength() && std::string(a.GetString(), a.GetStringLength()) ==
                                                                  std::string(b.GetString(), b.GetStringLength());
    if (a.IsArray()) {
        if (a.Size() != b.Size())
            return false;
        for (rapidjson::SizeType i = 0; i < a.Size(); ++i)
            if (!Same(a[i], b[i]))
                return false;
        return true;
    }
    if (a.IsObject()) {
        if (a.MemberCount() != b.MemberCount())
            return false;
        for (auto ia = a.MemberBegin(), ib = b.MemberBegin(); ia != a.MemberEnd(); ++ia, ++ib)
            if (!Same(ia->name, ib->name) || !Same(ia->value, ib->value))
                return false;
        return true;
    }
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::Put("assets/data/Fuzz.json", text);
    fuzz::Put("assets/data/tilesets/Fuzz.json", text);
    fuzz::Put("assets/data/tilemaps/Fuzz.json", text);

    for (int mode : {StreamMode_Data, StreamMode_Tileset, StreamMode_TileMap, StreamMode_Text}) {
        Stream stream("Fuzz", mode, false);
        rapidjson::Document shape;
        shape.CopyFrom(stream.data, shape.GetAllocator());
        ReadKeys(stream, shape);
    }

    // Writers, then the round trip: what Save wrote reads back as the same document.
    Stream stream("Fuzz", StreamMode_Data, false);
    if (!stream.data.IsObject())
        return 0;
    stream.WriteMember(Stream::StreamData(1.5f), "Name", "");
    stream.WriteMember(Stream::StreamData("text"), "Transform", "TranslationX");
    stream.WriteMenuObjectField(0, "PositionX", Stream::StreamData(2.0f));
    stream.WriteMenuObjectField(1, "Text", Stream::StreamData("menu"));
    stream.Save();
    if (fuzz::Get("assets/data/Fuzz.json") == text)
        return 0; // Save refused (a number JSON cannot hold): the file stays as it was
    Stream saved("Fuzz", StreamMode_Data, false);
    if (!saved.data.IsObject() || !Same(stream.data, saved.data))
        std::abort();
    saved.Save();
    Stream again("Fuzz", StreamMode_Data, false);
    if (!Same(saved.data, again.data))
        std::abort();
    return 0;
}
