// The resource folder: fonts, shaders and model files. An installed program
// finds it at <executable dir>/../share/orvex-studio, a build tree at the
// "Data" folder beside the executable.
#pragma once

#include <string>

#include "Base/Path.h"

// Decided once, on first use; a later call returns the same folder.
const Path& ResourceFolder();
// ResourceFolder joined with a file name.
Path ResourcePath(const char* name);
// Tests: use this folder instead (empty text goes back to the default rule).
void SetResourceFolderForTests(const std::string& folder);
