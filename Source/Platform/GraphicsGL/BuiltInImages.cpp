// Sections: icon table - icon records - loading the images - application icon.
#include "Platform/GraphicsGL/BuiltInImages.h"

#include <SDL.h>
#include <stb_image.h>

#include <algorithm>

#include "Base/Log.h"
#include "Platform/GraphicsGL/EmbeddedImage.h"
#include "Platform/GraphicsGL/EmbeddedImageData.h"

namespace GL {

// ---- icon table ---------------------------------------------------------------

#define ICON(field) [](BuiltInImages& b) -> ImageQuad& { return b.field; }

const std::vector<IconEntry>& IconTable() {
    // Pixel rectangles in the atlas (x, y, width, height); the layout is fixed,
    // the artwork in Data/art/icons.svg follows it.
    static const std::vector<IconEntry> table = {
        {"record", 0, 0, 96, 96, ICON(record)},
        {"stop recording", 96, 0, 96, 96, ICON(stopRecording)},
        {"snapshot", 192, 0, 96, 96, ICON(snapshot)},
        {"media view", 288, 0, 96, 96, ICON(mediaView)},
        {"live view", 384, 0, 96, 96, ICON(liveView)},
        {"leave full screen", 32, 96, 32, 32, ICON(leaveFullScreen)},
        {"full screen", 64, 96, 32, 32, ICON(fullScreen)},
        {"restore", 96, 96, 32, 32, ICON(restore)},
        {"maximise", 128, 96, 32, 32, ICON(maximise)},
        {"minimise", 160, 96, 32, 32, ICON(minimise)},
        {"close", 192, 96, 32, 32, ICON(close)},
        {"folder", 224, 96, 32, 32, ICON(folder)},
        {"small trash", 256, 96, 32, 32, ICON(smallTrash)},
        {"chevron", 288, 96, 32, 32, ICON(chevron)},
        {"undo", 320, 96, 32, 32, ICON(undo)},
        {"video file", 352, 96, 32, 32, ICON(videoFile)},
        {"image file", 384, 96, 32, 32, ICON(imageFile)},
        {"swap views", 0, 128, 64, 64, ICON(swapViews)},
        {"picture in picture", 64, 128, 64, 64, ICON(pictureInPicture)},
        {"one above the other", 128, 128, 64, 64, ICON(oneAboveOther)},
        {"side by side", 192, 128, 64, 64, ICON(sideBySide)},
        {"single view", 256, 128, 64, 64, ICON(singleView)},
        {"settings", 0, 192, 64, 64, ICON(settings[0])},
        {"lights", 64, 192, 64, 64, ICON(lights[0])},
        {"file list", 128, 192, 64, 64, ICON(fileList[0])},
        {"guides", 192, 192, 64, 64, ICON(guides[0])},
        {"layout", 256, 192, 64, 64, ICON(layout[0])},
        {"settings active", 0, 256, 64, 64, ICON(settings[1])},
        {"lights active", 64, 256, 64, 64, ICON(lights[1])},
        {"file list active", 128, 256, 64, 64, ICON(fileList[1])},
        {"guides active", 192, 256, 64, 64, ICON(guides[1])},
        {"layout active", 256, 256, 64, 64, ICON(layout[1])},
        {"play", 0, 320, 64, 64, ICON(play)},
        {"pause", 64, 320, 64, 64, ICON(pause)},
        {"replay", 128, 320, 64, 64, ICON(replay)},
        {"previous", 192, 320, 64, 64, ICON(previous)},
        {"next", 256, 320, 64, 64, ICON(next)},
        {"trash", 0, 384, 48, 48, ICON(trash)},
        {"export", 48, 384, 48, 48, ICON(exportFile)},
        {"back", 96, 384, 48, 48, ICON(back)},
        {"product logo banner", 0, 432, 336, 48, ICON(productLogo)},
    };
    return table;
}

#undef ICON

BuiltInImages& BuiltIns() {
    static BuiltInImages images;
    return images;
}

EmbeddedBlocks ProgramBlocks() {
    return {kMakerLogoBlock, kMakerLogoBlockSize, kIconAtlasBlock, kIconAtlasBlockSize,
            kReflectionMapBlock, kReflectionMapBlockSize};
}

// ---- icon records ----------------------------------------------------------------

void BuildIconRecords(BuiltInImages& images, float uiScale) {
    const float atlas = float(kIconAtlasSize);
    for (const IconEntry& e : IconTable()) {
        ImageQuad& q = e.record(images);
        q.texture = images.atlas;
        q.u0 = float(e.x) / atlas;
        q.v0 = float(e.y) / atlas;
        q.u1 = float(e.x + e.width) / atlas;
        q.v1 = float(e.y + e.height) / atlas;
        q.width = float(e.width) * uiScale;
        q.height = float(e.height) * uiScale;
        q.r = q.g = q.b = q.a = 1.0f;
    }
    ImageQuad& logo = images.makerLogo;
    logo.texture = images.makerLogoTexture;
    logo.u0 = logo.v0 = 0.0f;
    logo.u1 = logo.v1 = 1.0f;
    logo.width = kMakerLogoScale * float(kMakerLogoWidth) * uiScale;
    logo.height = kMakerLogoScale * float(kMakerLogoHeight) * uiScale;
    logo.r = logo.g = logo.b = logo.a = 1.0f;
}

// ---- loading the images ------------------------------------------------------------

namespace {

std::shared_ptr<TextureGL> LoadBlock(GC* gc, const uint8_t* block, size_t size, const char* what) {
    std::vector<uint8_t> png;
    if (!DecodeEmbeddedImage(block, size, &png)) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "LoadBuiltInImages | could not decompress the %s image", what);
        return nullptr;
    }
    std::shared_ptr<TextureGL> texture = gc->LoadTextureFromMemory(png.data(), png.size());
    if (!texture) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "LoadBuiltInImages | could not decode the %s image", what);
    }
    return texture;
}

}  // namespace

int LoadBuiltInImages(GC* gc, float uiScale, const EmbeddedBlocks& blocks, BuiltInImages* images) {
    if (gc == nullptr) return 0;
    // The pictures do not depend on the scale: each is decoded and uploaded
    // once and kept until ReleaseBuiltInImages; a scale change only resizes
    // the records.
    if (!images->makerLogoTexture)
        images->makerLogoTexture = LoadBlock(gc, blocks.makerLogo, blocks.makerLogoSize, "logo");
    if (!images->atlas) images->atlas = LoadBlock(gc, blocks.iconAtlas, blocks.iconAtlasSize, "icon atlas");
    if (!images->reflectionMap)
        images->reflectionMap = LoadBlock(gc, blocks.reflectionMap, blocks.reflectionMapSize, "reflection map");
    BuildIconRecords(*images, uiScale);
    return int(bool(images->makerLogoTexture)) + int(bool(images->atlas)) + int(bool(images->reflectionMap));
}

int LoadBuiltInImages(GC* gc, float uiScale) { return LoadBuiltInImages(gc, uiScale, ProgramBlocks(), &BuiltIns()); }

void ReleaseBuiltInImages() { BuiltIns() = BuiltInImages(); }

// ---- application icon ------------------------------------------------------------

bool AppIconPixels(const EmbeddedBlocks& blocks, std::vector<uint8_t>* rgba, int* width, int* height) {
    std::vector<uint8_t> png;
    if (!DecodeEmbeddedImage(blocks.iconAtlas, blocks.iconAtlasSize, &png)) return false;
    int w = 0, h = 0, comp = 0;
    stbi_uc* pixels = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &comp, 4);
    if (pixels == nullptr) return false;
    const bool fits = w >= kAppIconX + kAppIconSize && h >= kAppIconY + kAppIconSize;
    if (fits) {
        rgba->resize(size_t(kAppIconSize) * kAppIconSize * 4);
        for (int row = 0; row < kAppIconSize; ++row) {
            const stbi_uc* src = pixels + (size_t(kAppIconY + row) * size_t(w) + kAppIconX) * 4;
            std::copy(src, src + kAppIconSize * 4, rgba->data() + size_t(row) * kAppIconSize * 4);
        }
        *width = kAppIconSize;
        *height = kAppIconSize;
    }
    stbi_image_free(pixels);
    return fits;
}

bool SetWindowIconFromBuiltIns(SDL_Window* window) {
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    if (window == nullptr || !AppIconPixels(ProgramBlocks(), &rgba, &w, &h)) {
        LOGF(LOG_WARN, LOG_SRC_GRAPHICS, "SetWindowIconFromBuiltIns | no application icon");
        return false;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(rgba.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) {
        LOGF(LOG_WARN, LOG_SRC_GRAPHICS, "SetWindowIconFromBuiltIns | %s", SDL_GetError());
        return false;
    }
    SDL_SetWindowIcon(window, surface);  // SDL copies the pixels
    SDL_FreeSurface(surface);
    return true;
}

}  // namespace GL
