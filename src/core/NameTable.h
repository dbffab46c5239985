#pragma once
// Makers looked up by the names the data uses, in the order they were added. Adding a name again
// replaces its maker in place; a null maker is not added.
#include <string>
#include <utility>
#include <vector>

template <typename Maker>
class NameTable {
public:
    void Add(const std::string& name, Maker make)
    {
        if (!make)
            return;
        for (auto& entry : entries) {
            if (entry.first == name) {
                entry.second = make;
                return;
            }
        }
        entries.emplace_back(name, make);
    }

    // The maker of a name (matched exactly), or null.
    Maker Find(const std::string& name) const
    {
        for (const auto& entry : entries) {
            if (entry.first == name)
                return entry.second;
        }
        return nullptr;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : entries)
            names.push_back(entry.first);
        return names;
    }

private:
    std::vector<std::pair<std::string, Maker>> entries;
};
