#include "ui/MenuEntry.h"

#include "core/Stream.h"
#include "core/Trace.h"

MenuEntry::MenuEntry(Stream& stream, int entryIndex) : menuName(stream.name), index(entryIndex)
{
    if (!stream.data.IsObject() || entryIndex < 0)
        return;
    auto list = stream.data.FindMember("MenuObjects");
    if (list == stream.data.MemberEnd() || !list->value.IsArray())
        return;
    if (static_cast<rapidjson::SizeType>(entryIndex) >= list->value.Size())
        return;
    const rapidjson::Value& entry = list->value[static_cast<rapidjson::SizeType>(entryIndex)];
    if (entry.IsObject())
        value = &entry;
}

const rapidjson::Value* MenuEntry::Find(const char* key) const
{
    if (!value)
        return nullptr;
    auto it = value->FindMember(key);
    return it == value->MemberEnd() ? nullptr : &it->value;
}

void MenuEntry::WrongType(const char* key, const char* expected) const
{
    Trace("Menu \"%s\" entry %d: \"%s\" is not %s; ignored", menuName.c_str(), index, key, expected);
}

bool MenuEntry::Has(const char* key) const
{
    return Find(key) != nullptr;
}

bool MenuEntry::GetFloat(const char* key, float& out) const
{
    const rapidjson::Value* found = Find(key);
    if (!found)
        return false;
    if (!found->IsNumber()) {
        WrongType(key, "a number");
        return false;
    }
    out = static_cast<float>(found->GetDouble());
    return true;
}

bool MenuEntry::GetInt(const char* key, int& out) const
{
    const rapidjson::Value* found = Find(key);
    if (!found)
        return false;
    if (found->IsInt()) {
        out = found->GetInt();
        return true;
    }
    if (found->IsNumber()) {
        const double number = found->GetDouble();
        // Out-of-range numbers are clamped instead of converted with undefined results.
        out = number >= 2147483647.0 ? 2147483647 : number <= -2147483648.0 ? -2147483647 - 1 : static_cast<int>(number);
        return true;
    }
    WrongType(key, "an integer");
    return false;
}

bool MenuEntry::GetBool(const char* key, bool& out) const
{
    const rapidjson::Value* found = Find(key);
    if (!found)
        return false;
    if (found->IsBool()) {
        out = found->GetBool();
        return true;
    }
    if (found->IsNumber()) {
        out = found->GetDouble() > 0.0;
        return true;
    }
    WrongType(key, "true, false or a number");
    return false;
}

bool MenuEntry::GetString(const char* key, std::string& out) const
{
    const rapidjson::Value* found = Find(key);
    if (!found)
        return false;
    if (!found->IsString()) {
        WrongType(key, "a text");
        return false;
    }
    out.assign(found->GetString(), found->GetStringLength());
    return true;
}

const rapidjson::Value* MenuEntry::GetArray(const char* key) const
{
    const rapidjson::Value* found = Find(key);
    if (!found)
        return nullptr;
    if (!found->IsArray()) {
        WrongType(key, "an array");
        return nullptr;
    }
    return found;
}
