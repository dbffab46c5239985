#pragma once
// One entry of a menu file's "MenuObjects" array, read key by key. A key that is absent reads as
// absent; a key of the wrong JSON type reads as absent too and writes one trace line naming the menu,
// the entry and the key. Nothing here asks RapidJSON for a member of a non-object.
#include <string>

#include <rapidjson/document.h>

class Stream;

class MenuEntry {
public:
    // Entry index of the stream's "MenuObjects"; an entry that is not there (or not an object) has no keys.
    MenuEntry(Stream& stream, int index);

    bool IsObject() const { return value != nullptr; }
    bool Has(const char* key) const;
    // Each sets out and returns true only when the key holds a value of its kind.
    bool GetFloat(const char* key, float& out) const;
    bool GetInt(const char* key, int& out) const;
    // true/false, or a number (above 0 is true).
    bool GetBool(const char* key, bool& out) const;
    bool GetString(const char* key, std::string& out) const;
    // The array held by the key, or null (traced when the key holds something else).
    const rapidjson::Value* GetArray(const char* key) const;

    std::string menuName;
    int index = 0;

private:
    const rapidjson::Value* Find(const char* key) const;
    void WrongType(const char* key, const char* expected) const;

    const rapidjson::Value* value = nullptr;
};
