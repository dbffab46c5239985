#pragma once
// Replacing a file whole: the new content goes to a temporary file beside the target, every write is
// checked, the temporary is flushed and closed, and only then renamed over the target. On any failure
// the temporary is removed, the target keeps every byte it had, and one trace line names the file.
#include <cstddef>
#include <string>

class AtomicFile {
public:
    // Makes the file at path hold exactly size bytes from bytes. Returns whether it does now.
    static bool Write(const std::string& path, const char* bytes, std::size_t size);
    static bool Write(const std::string& path, const std::string& content)
    {
        return Write(path, content.data(), content.size());
    }
    // The temporary file used while writing path.
    static std::string TemporaryPath(const std::string& path);
};
