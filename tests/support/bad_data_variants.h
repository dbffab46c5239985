#pragma once
// Broken versions of a JSON data file for the bad-data sweeps: the file missing or empty, its text
// cut short at several points, each member (down to three levels, first and last array elements)
// removed, or replaced by a value of another type, a huge number, a negative number or an empty
// array or object.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace baddata {

namespace fs = std::filesystem;

inline bool Verbose()
{
    const char* flag = std::getenv("DUSTRUN_BAD_DATA_VERBOSE");
    return flag && *flag && *flag != '0';
}

inline std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// One broken version of a file: its text, or no file at all.
struct Variant {
    std::string label;
    std::string text;
    bool present = true;
};

inline std::string ToJson(const rapidjson::Value& value)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// The values a member is replaced with, and their labels.
struct Replacement {
    const char* label;
    void (*set)(rapidjson::Value& value, rapidjson::Document::AllocatorType& allocator);
};

inline const Replacement kReplacements[] = {
    {"a string", [](rapidjson::Value& v, auto& a) { v.SetString("x", a); }},
    {"format text", [](rapidjson::Value& v, auto& a) { v.SetString("%s%n\0../x", 9, a); }},
    {"true", [](rapidjson::Value& v, auto&) { v.SetBool(true); }},
    {"null", [](rapidjson::Value& v, auto&) { v.SetNull(); }},
    {"1e300", [](rapidjson::Value& v, auto&) { v.SetDouble(1e300); }},
    {"4294967296", [](rapidjson::Value& v, auto&) { v.SetUint64(4294967296ull); }},
    {"2147483647", [](rapidjson::Value& v, auto&) { v.SetInt(2147483647); }},
    {"-1", [](rapidjson::Value& v, auto&) { v.SetInt(-1); }},
    {"-2147483648", [](rapidjson::Value& v, auto&) { v.SetInt(-2147483647 - 1); }},
    {"-0.5", [](rapidjson::Value& v, auto&) { v.SetDouble(-0.5); }},
    {"[]", [](rapidjson::Value& v, auto&) { v.SetArray(); }},
    {"{}", [](rapidjson::Value& v, auto&) { v.SetObject(); }},
};

// A way to reach one value of the document: member names and array indexes from the root.
struct Step {
    std::string key;      // member name, or empty for an index
    rapidjson::SizeType index = 0;
};
using Path = std::vector<Step>;

inline std::string PathLabel(const Path& path)
{
    std::string label;
    for (const Step& step : path)
        label += step.key.empty() ? "[" + std::to_string(step.index) + "]" : "/" + step.key;
    return label;
}

inline rapidjson::Value* Walk(rapidjson::Value& root, const Path& path)
{
    rapidjson::Value* at = &root;
    for (const Step& step : path) {
        if (!step.key.empty()) {
            if (!at->IsObject())
                return nullptr;
            auto it = at->FindMember(step.key.c_str());
            if (it == at->MemberEnd())
                return nullptr;
            at = &it->value;
        } else {
            if (!at->IsArray() || step.index >= at->Size())
                return nullptr;
            at = &(*at)[step.index];
        }
    }
    return at;
}

// The values worth breaking: every member of the root and of its objects, the first and last
// element of each array met on the way, down to three levels.
inline void CollectPaths(const rapidjson::Value& value, Path& path, std::vector<Path>& out, int depth)
{
    if (depth >= 3)
        return;
    if (value.IsObject()) {
        for (auto it = value.MemberBegin(); it != value.MemberEnd(); ++it) {
            path.push_back({std::string(it->name.GetString(), it->name.GetStringLength()), 0});
            out.push_back(path);
            CollectPaths(it->value, path, out, depth + 1);
            path.pop_back();
        }
    } else if (value.IsArray() && !value.Empty()) {
        std::vector<rapidjson::SizeType> picks = {0};
        if (value.Size() > 1)
            picks.push_back(value.Size() - 1);
        for (rapidjson::SizeType i : picks) {
            path.push_back({"", i});
            out.push_back(path);
            CollectPaths(value[i], path, out, depth + 1);
            path.pop_back();
        }
    }
}

inline std::vector<Variant> MakeVariants(const std::string& original)
{
    std::vector<Variant> variants;
    variants.push_back({"missing file", "", false});
    variants.push_back({"empty file", "", true});
    variants.push_back({"not JSON", "this is not JSON", true});
    variants.push_back({"root is an array", "[1, 2, 3]", true});
    variants.push_back({"root is a number", "-7", true});
    variants.push_back({"root is a string", "\"text\"", true});
    // Nesting deep enough to exhaust the stack of a parser that recurses.
    variants.push_back({"deeply nested", "{\"A\": " + std::string(200000, '[') + std::string(200000, ']') + "}", true});

    const std::size_t size = original.size();
    for (std::size_t cut : {std::size_t{1}, size / 5, size / 3, size / 2, (2 * size) / 3, size - 2})
        if (cut < size)
            variants.push_back({"cut at " + std::to_string(cut), original.substr(0, cut), true});

    rapidjson::Document document;
    document.Parse(original.c_str(), original.size());
    if (document.HasParseError())
        return variants;

    std::vector<Path> paths;
    Path path;
    CollectPaths(document, path, paths, 0);
    for (const Path& target : paths) {
        const std::string where = PathLabel(target);
        // Without the value.
        {
            rapidjson::Document copy;
            copy.CopyFrom(document, copy.GetAllocator());
            Path parentPath(target.begin(), target.end() - 1);
            rapidjson::Value* parent = Walk(copy, parentPath);
            if (parent && !target.back().key.empty() && parent->IsObject())
                parent->RemoveMember(target.back().key.c_str());
            else if (parent && parent->IsArray())
                parent->Erase(parent->Begin() + target.back().index);
            variants.push_back({where + " removed", ToJson(copy), true});
        }
        for (const Replacement& replacement : kReplacements) {
            rapidjson::Document copy;
            copy.CopyFrom(document, copy.GetAllocator());
            if (rapidjson::Value* value = Walk(copy, target)) {
                replacement.set(*value, copy.GetAllocator());
                variants.push_back({where + " = " + replacement.label, ToJson(copy), true});
            }
        }
    }
    return variants;
}

// The shipped data files of one folder (names without ".json"), sorted.
inline std::vector<std::string> DataFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path("assets/data") / folder, ec))
        if (entry.path().extension() == ".json")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The member names of a JSON text, nested, without the values: files of one shape break the same way.
inline void ShapeOf(const rapidjson::Value& value, std::string& out)
{
    if (value.IsObject()) {
        out += '{';
        for (auto it = value.MemberBegin(); it != value.MemberEnd(); ++it) {
            out.append(it->name.GetString(), it->name.GetStringLength());
            out += ':';
            ShapeOf(it->value, out);
            out += ',';
        }
        out += '}';
    } else if (value.IsArray()) {
        out += '[' + std::to_string(value.Size()) + ']';
    } else {
        out += std::to_string(static_cast<int>(value.GetType()));
    }
}

// The files of a folder (as DataFiles gives them), keeping only the first of each shape.
inline std::vector<std::string> DistinctDataFiles(const std::string& folder)
{
    std::vector<std::string> kept;
    std::vector<std::string> shapes;
    for (const std::string& name : DataFiles(folder)) {
        rapidjson::Document document;
        const std::string text = ReadText(fs::path("assets/data") / folder / (name + ".json"));
        document.Parse(text.c_str(), text.size());
        std::string shape;
        if (!document.HasParseError())
            ShapeOf(document, shape);
        if (std::find(shapes.begin(), shapes.end(), shape) != shapes.end())
            continue;
        shapes.push_back(shape);
        kept.push_back(name);
    }
    return kept;
}

// Feeds every broken version of assets/data/<file>.json (relative to the working folder) to drive,
// then puts the file back. An exception out of drive is a failure. Returns the number of variants run.
inline int Sweep(const std::string& file, const std::function<void()>& drive)
{
    const fs::path path = fs::path("assets/data") / (file + ".json");
    const std::string original = ReadText(path);
    EXPECT_FALSE(original.empty()) << path;
    int count = 0;
    for (const Variant& variant : MakeVariants(original)) {
        std::error_code ec;
        if (variant.present)
            WriteText(path, variant.text);
        else
            fs::remove(path, ec);
        if (Verbose())
            std::cerr << "[bad data] " << file << ": " << variant.label << std::endl;
        try {
            drive();
        } catch (const std::exception& error) {
            ADD_FAILURE() << file << " (" << variant.label << "): exception " << error.what();
        } catch (...) {
            ADD_FAILURE() << file << " (" << variant.label << "): unknown exception";
        }
        ++count;
    }
    WriteText(path, original);
    return count;
}

} // namespace baddata
