#pragma once
// A data file held in memory: its whole text and, for JSON files, the parsed document; typed field readers
// that report missing fields, tileset and tile-map lookups, field writers and a pretty-printed save.
#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "core/AudioEvent.h"
#include "core/Vector4f.h"

// "$APPDATA/Quorvex/PemmetsDustrun", else "$XDG_DATA_HOME (or $HOME/.local/share)/Quorvex/PemmetsDustrun",
// else "" (no save directory).
std::string GetSaveDirectory();

// Prefix of the data files (modes 0 to 3).
inline const std::string AssetDataPath = "assets/data/";
// Keys of the tileset and tile-map layouts.
inline const std::string TS_Tiles = "tiles";
inline const std::string TS_ObjectGroup = "objectgroup";
inline const std::string TS_Objects = "objects";
inline const std::string TS_TilesID = "id";
inline const std::string TS_Properties = "properties";

// Where a stream's file lies and how it is read.
enum StreamMode : int32_t {
    StreamMode_Data = 0,     // "assets/data/" + name + ".json", JSON, created when missing if asked
    StreamMode_Text = 1,     // "assets/data/" + name, raw text
    StreamMode_Tileset = 2,  // "assets/data/tilesets/" + name + ".json", JSON
    StreamMode_TileMap = 3,  // "assets/data/tilemaps/" + name + ".json", JSON
    StreamMode_SaveDir = 4,  // save directory + "/" + name + ".json", JSON, created (with folders) if asked
    StreamMode_Path = 5,     // name exactly as given, raw text
};

class Stream {
public:
    // Tags of a StreamData value.
    enum class StreamDataType : uint32_t {
        Int = 0,            // int32 in place
        Float = 1,          // float in place; written as the double of its value
        Bool = 2,           // bool in place
        Vector4f = 3,       // owned Vector4f; written as [x, y, z, w]
        String = 4,         // owned string
        IntList = 5,        // owned vector of int32
        FloatList = 6,      // owned vector of float
        IntList64 = 7,      // owned vector of int32, written as 64-bit integers
        Vector4fList = 8,   // owned vector of Vector4f; written as [[x, y, z, w], ...]
        StringList = 9,     // owned vector of strings
        AudioEvent = 10,    // owned AudioEvent; written as an audio-event object
        AudioEventList = 11 // owned vector of AudioEvent pointers (the events are not owned)
    };

    // A tagged value handed to and from a Stream. Owns its payload; copies are deep.
    class StreamData {
    public:
        StreamData();  // int 0
        StreamData(int32_t value);
        StreamData(float value);
        StreamData(bool value);
        StreamData(const ::Vector4f& value);
        StreamData(const std::string& value);
        StreamData(const char* value);
        // The source vector is left empty.
        StreamData(std::vector<int32_t>&& values);
        StreamData(std::vector<::Vector4f>&& values);
        StreamData(std::vector<float> values);
        StreamData(std::vector<std::string> values);
        StreamData(const ::AudioEvent& event);
        StreamData(std::vector<::AudioEvent*> events);
        // A tag-7 list (integers written in their 64-bit form).
        static StreamData IntList64(std::vector<int32_t> values);

        StreamData(const StreamData& other);
        StreamData(StreamData&& other) noexcept;
        StreamData& operator=(const StreamData& other);
        StreamData& operator=(StreamData&& other) noexcept;
        virtual ~StreamData();

        // Releases the payload and gives the value an empty payload of the new tag.
        void SetType(StreamDataType newType);
        StreamDataType GetType() const { return type; }

        // Readers of the payload; a value of another tag gives the empty value of the asked kind.
        int32_t GetInt() const;
        float GetFloat() const;
        bool GetBool() const;
        std::string GetString() const;
        ::Vector4f GetVector4f() const;
        std::vector<int32_t> GetIntArray() const;  // tags 5 and 7
        std::vector<float> GetFloatArray() const;
        std::vector<::Vector4f> GetVector4fArray() const;
        std::vector<std::string> GetStringArray() const;
        ::AudioEvent GetAudioEvent() const;
        std::vector<::AudioEvent*> GetAudioEventArray() const;
        // The same tag and value: ints, floats and bools by value, every other tag by its text.
        bool SameValue(const StreamData& other) const;

    private:
        void Release();
        void CopyFrom(const StreamData& other);

        union Payload {
            int32_t i;
            float f;
            bool b;
            void* p;
        } payload;
        StreamDataType type;
    };

    // Builds the path for the mode, reads the whole file and parses it where the mode reads JSON.
    // Never throws; a missing or unreadable file leaves the stream invalid.
    Stream(const char* name, int mode = StreamMode_Data, bool createIfMissing = false);

    // True when the file's text is not empty.
    bool IsValid() const { return !text.empty(); }
    // Writes the document back to the stream's file, pretty-printed, when its root is a JSON object.
    // The file is replaced whole: on a failed write it keeps its old bytes and one trace line names
    // it. Returns whether the file now holds the document.
    bool Save();
    // The file path of the stream ("" when it has none, e.g. mode 4 without a save directory).
    std::string GetPath() const;

    // ---- Readers -------------------------------------------------------------------------------------
    int32_t ReadInt(const char* fieldName);
    int32_t ReadInt(const char* objectName, const char* fieldName);
    int32_t ReadInt(const char* arrayName, uint32_t index, const char* fieldName);

    float ReadFloat(const char* fieldName);
    float ReadFloat(const char* objectName, const char* fieldName);
    float ReadFloat(const char* arrayName, uint32_t index, const char* fieldName);

    std::string ReadString(const char* fieldName);
    std::string ReadString(const char* objectName, const char* fieldName);
    std::string ReadString(const char* arrayName, uint32_t index, const char* fieldName,
                           uint32_t subIndex = 0xFFFFFFFFu);

    bool ReadBool(const char* fieldName);
    bool ReadBool(const char* objectName, const char* fieldName);
    bool ReadBool(const char* arrayName, uint32_t index, const char* fieldName);

    // Element index of the array data[objectName][fieldName].
    float ReadFloatAt(const char* objectName, const char* fieldName, uint32_t index);
    // Element index of the root array "FogColor".
    float ReadFogColor(uint32_t index);
    // data["Treasure"][i][j].
    float ReadTreasure(uint32_t i, uint32_t j);

    std::vector<int32_t> ReadIntArray(const char* fieldName);
    std::vector<float> ReadFloatArray(const char* fieldName);
    std::vector<std::string> ReadStringArray(const char* fieldName);
    // One (x, y, 0, 0) per element [x, y].
    std::vector<::Vector4f> ReadVector4fArray(const char* fieldName);

    // No report.
    bool HasMember(const char* fieldName) const;
    bool HasMember(const char* objectName, const char* fieldName) const;
    // The kinds of value a component's optional key may be required to hold.
    enum class ValueKind { Number, Int, String, Bool };
    // True when objectName[fieldName] is there and holds that kind of value. A value of another kind
    // is reported ("<objectName>: "<fieldName>" has the wrong type and is ignored") and counts as missing.
    bool HasValue(const char* objectName, const char* fieldName, ValueKind kind) const;
    // Reports a missing member.
    bool AssertField(const char* fieldName);
    bool AssertField(const char* objectName, const char* objectField);

    // The root member as an int, float, bool or string value; anything else (or nothing) is int 0.
    StreamData ReadData(const char* fieldName);

    // ---- Writers (act only when the root is a JSON object) ------------------------------------------
    // Sets or adds the root member and saves the file.
    void WriteData(const char* fieldName, StreamData value);
    // Overwrites root[name] (or root[name][field]) when present; adds it when missing and the stream
    // was opened with createIfMissing. Overwriting does not save.
    void WriteMember(StreamData value, std::string name, std::string field);
    // Appends a root member and saves.
    void AddField(const char* name, StreamData value);
    // Appends fieldName to the root object objectName (created when missing) and saves.
    void AddObjectField(const char* objectName, const char* fieldName, StreamData value);
    // Sets the existing member data["MenuObjects"][index][fieldName] from a float or a string. No save.
    void WriteMenuObjectField(unsigned index, const char* fieldName, StreamData value);

    std::string name;
    std::string text;
    rapidjson::Document data;
    bool createIfMissing = false;
    int32_t mode = StreamMode_Data;

private:
    const rapidjson::Value* Root(const char* fieldName) const;
    const rapidjson::Value* ElementField(const char* arrayName, uint32_t index, const char* fieldName) const;
    const rapidjson::Value& TilesetLookup(const char* arrayName, uint32_t id, const char* fieldName,
                                          uint32_t propertyIndex);
    const rapidjson::Value& TileMapLookup(const char* arrayName, uint32_t index, const char* fieldName);
    void CheckTilesArray();
    void WriteValue(rapidjson::Value& target, const StreamData& value);
    bool ReadFile(const std::string& path);
    void Parse();
};
