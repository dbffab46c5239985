#include "core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Trace.h"

namespace {

bool Fail(const std::string& path, const std::string& temporary, int error)
{
    std::remove(temporary.c_str());
    Trace("File %s was not saved (%s); the old file is kept", path.c_str(), std::strerror(error));
    return false;
}

} // namespace

std::string AtomicFile::TemporaryPath(const std::string& path)
{
    return path + ".tmp";
}

bool AtomicFile::Write(const std::string& path, const char* bytes, std::size_t size)
{
    const std::string temporary = TemporaryPath(path);
    errno = 0;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return Fail(path, temporary, errno ? errno : EIO);

    std::size_t done = 0;
    while (done < size) {
        const std::size_t wrote = std::fwrite(bytes + done, 1, size - done, file);
        if (wrote == 0) {
            const int error = errno ? errno : EIO;
            std::fclose(file);
            return Fail(path, temporary, error);
        }
        done += wrote;
    }
    if (std::fflush(file) != 0 || std::ferror(file)) {
        const int error = errno ? errno : EIO;
        std::fclose(file);
        return Fail(path, temporary, error);
    }
    if (std::fclose(file) != 0)
        return Fail(path, temporary, errno ? errno : EIO);
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return Fail(path, temporary, errno ? errno : EIO);
    return true;
}
