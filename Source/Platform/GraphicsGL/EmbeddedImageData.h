// The built-in images as embedded blocks (see EmbeddedImage.h). The
// definitions are generated at build time from Data/art by
// Tools/ArtTools/EmbedImage.cpp into the build folder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace GL {

extern const uint8_t kMakerLogoBlock[];    // 720 x 280 PNG
extern const size_t kMakerLogoBlockSize;
extern const uint8_t kIconAtlasBlock[];    // 512 x 512 PNG
extern const size_t kIconAtlasBlockSize;
extern const uint8_t kReflectionMapBlock[];  // 256 x 256 PNG
extern const size_t kReflectionMapBlockSize;

}  // namespace GL
