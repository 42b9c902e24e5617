// Wavefront OBJ text of the camera model files.
#include "Base/Log.h"
#include "Fuzz/FuzzSupport.h"
#include "Platform/GraphicsGL/ObjLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        LogSetStderr(false);
        return true;
    }();
    (void)quiet;
    GL::ModelPart part;
    GL::LoadObjFromText(reinterpret_cast<const char*>(data), size, "fuzz.obj", part);
    FUZZ_CHECK(part.vertices.size() <= GL::kObjMaxVertices);
    FUZZ_CHECK(part.indices.size() <= GL::kObjMaxIndices);
    FUZZ_CHECK(part.indices.size() % 3 == 0);
    for (uint16_t index : part.indices) FUZZ_CHECK(index < part.vertices.size());
    return 0;
}
