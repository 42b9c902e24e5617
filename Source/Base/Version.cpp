#include "Base/Version.h"

#include <cstdio>

std::string AppVersionText() {
    char text[64];
    snprintf(text, sizeof text, AppVersionFormat, AppVersion, AppBuild);
    return text;
}
