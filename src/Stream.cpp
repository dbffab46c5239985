#include "Stream.h"

#include <cstdlib>

std::string GetSaveDirectory()
{
    static const char* const kSuffix = "/Quorvex/PemmetsDustrun";
    const char* appData = std::getenv("APPDATA");
    if (appData && *appData)
        return std::string(appData) + kSuffix;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + kSuffix;
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.local/share" + kSuffix;
    return "";
}
