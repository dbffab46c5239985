#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Trace.h"

namespace {

AtomicFile::SyncFunction gSync = &::fsync;

bool Fail(const std::string& path, const std::string& temporary, int error)
{
    ::unlink(temporary.c_str());
    Trace("File %s was not saved (%s); the old file is kept", path.c_str(), std::strerror(error));
    return false;
}

int LastError()
{
    return errno ? errno : EIO;
}

// The folder that holds path ("." for a bare file name).
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The second name the old file keeps while its replacement is made durable.
std::string KeptPath(const std::string& path)
{
    return path + ".tmp-old";
}

// How many links in a row are followed before a path is taken as it stands (the kernel's own limit).
constexpr int kMaxLinkHops = 40;

} // namespace

std::string AtomicFile::ResolveLinks(const std::string& path)
{
    std::string resolved = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return resolved;
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 256, '\0');
        const ssize_t length = ::readlink(resolved.c_str(), &target[0], target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return resolved;
        target.resize(static_cast<std::size_t>(length));
        // A relative target is relative to the folder that holds the link.
        if (target[0] != '/' && resolved.find('/') != std::string::npos)
            target = FolderOf(resolved) + "/" + target;
        resolved = target;
    }
    return path;
}

std::string AtomicFile::TemporaryPath(const std::string& path)
{
    return path + ".tmp";
}

AtomicFile::SyncFunction AtomicFile::SetSyncFunction(SyncFunction sync)
{
    const SyncFunction previous = gSync;
    gSync = sync ? sync : &::fsync;
    return previous;
}

bool AtomicFile::Write(const std::string& named, const char* bytes, std::size_t size)
{
    // A link keeps pointing where it did: the file it names is the one replaced.
    const std::string path = ResolveLinks(named);
    const std::string temporary = TemporaryPath(path);
    errno = 0;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return Fail(path, temporary, LastError());

    std::size_t done = 0;
    while (done < size) {
        const std::size_t wrote = std::fwrite(bytes + done, 1, size - done, file);
        if (wrote == 0) {
            const int error = LastError();
            std::fclose(file);
            return Fail(path, temporary, error);
        }
        done += wrote;
    }
    if (std::fflush(file) != 0 || std::ferror(file)) {
        const int error = LastError();
        std::fclose(file);
        return Fail(path, temporary, error);
    }
    // The content reaches the disk before the name points at it.
    errno = 0;
    if (gSync(fileno(file)) != 0) {
        const int error = LastError();
        std::fclose(file);
        return Fail(path, temporary, error);
    }
    if (std::fclose(file) != 0)
        return Fail(path, temporary, LastError());

    // The folder is opened before the rename, so that once the target is replaced nothing is left
    // that could fail but its sync. The old file keeps a second name until the folder is synced, so a
    // failed sync can put it back.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return Fail(path, temporary, LastError());
    const std::string kept = KeptPath(path);
    ::unlink(kept.c_str());
    const int linked = ::link(path.c_str(), kept.c_str()) == 0 ? 0 : LastError();
    const bool hadOld = linked == 0;
    const bool wasNew = linked == ENOENT;
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = LastError();
        if (hadOld)
            ::unlink(kept.c_str());
        ::close(folder);
        return Fail(path, temporary, error);
    }
    errno = 0;
    int error = gSync(folder) == 0 ? 0 : LastError();
    // A file system that can't sync a folder at all (EINVAL) keeps its names as best it can.
    if (error == EINVAL)
        error = 0;
    if (error != 0 && !hadOld && !wasNew) {
        // No second name could be made for the old file, so there is nothing to put back.
        ::close(folder);
        Trace("File %s was saved but may not survive a crash (%s)", path.c_str(), std::strerror(error));
        return false;
    }
    if (error != 0) {
        if (hadOld)
            std::rename(kept.c_str(), path.c_str());
        else
            ::unlink(path.c_str());
        ::close(folder);
        return Fail(path, temporary, error);
    }
    if (hadOld)
        ::unlink(kept.c_str());
    ::close(folder);
    return true;
}
