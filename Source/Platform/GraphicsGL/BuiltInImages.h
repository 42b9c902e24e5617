// The images built into the program and the icon records cut from them.
//
// Three PNG images live in the program as embedded blocks (EmbeddedImage.h):
// the maker's logo (720 x 280), the icon atlas (512 x 512) and the spherical
// reflection map of the camera model (256 x 256). LoadBuiltInImages turns them
// into textures and makes one GL::ImageQuad per icon: texture = the atlas,
// texture rectangle = the icon's pixel rectangle / 512, size = pixel size x
// UiScale, colour white. It runs at start-up and again after every UI scale
// or DPI change: the textures are made only the first time, the records'
// sizes follow the scale every time.
//
// Threading: UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/GraphicsGL/GC.h"

struct SDL_Window;

namespace GL {

inline constexpr int kMakerLogoWidth = 720, kMakerLogoHeight = 280;
inline constexpr int kIconAtlasSize = 512;
inline constexpr int kReflectionMapSize = 256;
// The maker's logo is shown at this fraction of its pixel size (times UiScale).
inline constexpr float kMakerLogoScale = 0.75f;

struct BuiltInImages {
    std::shared_ptr<TextureGL> makerLogoTexture;
    std::shared_ptr<TextureGL> atlas;
    std::shared_ptr<TextureGL> reflectionMap;  // texture slot 0 of every camera model part

    ImageQuad makerLogo;  // the whole logo image at 0.75 x its size

    // Control bar, 96 x 96.
    ImageQuad record, stopRecording, snapshot, mediaView, liveView;
    // Title bar window controls, 32 x 32.
    ImageQuad leaveFullScreen, fullScreen, restore, maximise, minimise, close;
    // Small icons, 32 x 32.
    ImageQuad folder, smallTrash, chevron, undo, videoFile, imageFile;
    // Camera view layouts, 64 x 64.
    ImageQuad swapViews, pictureInPicture, oneAboveOther, sideBySide, singleView;
    // Two-state toggles, 64 x 64: [0] normal, [1] active.
    ImageQuad settings[2], lights[2], fileList[2], guides[2], layout[2];
    // Player, 64 x 64.
    ImageQuad play, pause, replay, previous, next;
    // 48 x 48.
    ImageQuad trash, exportFile, back;
    // Title bar banner: red square and the product name, 336 x 48.
    ImageQuad productLogo;
};

// One icon of the atlas: its pixel rectangle and where its record lives.
struct IconEntry {
    const char* name;
    int x, y, width, height;
    ImageQuad& (*record)(BuiltInImages&);
};
// Every icon of the atlas, in atlas order.
const std::vector<IconEntry>& IconTable();

// The application icon (window icon, desktop icon): a free square of the
// atlas outside every icon rectangle.
inline constexpr int kAppIconX = 384, kAppIconY = 384, kAppIconSize = 128;

// The program's images and icon records (UI thread).
BuiltInImages& BuiltIns();

// The three embedded blocks the images come from.
struct EmbeddedBlocks {
    const uint8_t* makerLogo;
    size_t makerLogoSize;
    const uint8_t* iconAtlas;
    size_t iconAtlasSize;
    const uint8_t* reflectionMap;
    size_t reflectionMapSize;
};
// The blocks compiled into the program.
EmbeddedBlocks ProgramBlocks();

// Sets every icon record's texture rectangle, size (pixel size x uiScale),
// colour (white) and texture (images.atlas), and the maker's-logo record.
void BuildIconRecords(BuiltInImages& images, float uiScale);

// Decompresses the blocks, makes their textures with LoadTextureFromMemory
// (only those `images` does not hold yet) and builds the icon records into
// `images`. Skipped entirely when gc is null.
// An image that fails to decompress or decode is logged and skipped: its
// texture stays empty (the icons of a missing atlas draw as empty rectangles).
// Returns the number of images loaded (0 to 3).
int LoadBuiltInImages(GC* gc, float uiScale, const EmbeddedBlocks& blocks, BuiltInImages* images);
// The same for the program's images (BuiltIns()).
int LoadBuiltInImages(GC* gc, float uiScale);
// Drops the textures (before the graphics context goes away).
void ReleaseBuiltInImages();

// The application icon as 128 x 128 RGBA pixels cut from the atlas; false when
// the atlas block does not decode.
bool AppIconPixels(const EmbeddedBlocks& blocks, std::vector<uint8_t>* rgba, int* width, int* height);
// Gives the window the application icon; false (logged) when it cannot.
bool SetWindowIconFromBuiltIns(SDL_Window* window);

}  // namespace GL
