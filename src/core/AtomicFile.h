#pragma once
// Replacing a file whole and durably: the new content goes to a temporary file beside the target,
// every write is checked, the temporary is synced to the disk and closed, renamed over the target,
// and the folder holding both is synced so the rename itself survives a power cut. Until that last
// sync the old file keeps a second name (path + ".tmp-old"), so a failed folder sync puts it back.
// On any failure the temporary is removed, the target keeps every byte it had, and one trace line
// names the file. A path that is a symbolic link (or a chain of them) replaces the file the link
// points to, with the temporary beside that file; the link itself is left as it is.
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
    // The file a path names once every link in its last part is followed (the path itself when it is
    // no link, or when a loop of links never ends).
    static std::string ResolveLinks(const std::string& path);
    // The temporary file used while writing path.
    static std::string TemporaryPath(const std::string& path);

    // Flushes one open file descriptor to the disk: 0 on success, -1 with errno set on failure
    // (fsync's contract). Write calls it for the temporary file and then for the folder.
    using SyncFunction = int (*)(int descriptor);
    // Replaces the function Write syncs with (fsync when null); returns the one it replaces.
    static SyncFunction SetSyncFunction(SyncFunction sync);
};
