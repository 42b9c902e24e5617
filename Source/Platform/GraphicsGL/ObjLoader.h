// LoadObj: reads the triangles of a Wavefront OBJ file into a model part.
//
// Only the subset the camera model files use is read: "v x y z" positions,
// "vn x y z" normals and triangular "f" faces whose corners name a position
// and a normal ("p//n" or "p/t/n"; texture coordinates are ignored). The
// depth axis is mirrored (z becomes -z) for the program's left-handed scene.
// Corners that repeat a position with the same normal share one vertex.
// Indices are 16-bit, so a part holds at most 65,536 vertices.
#pragma once

#include <cstddef>

#include "Base/Path.h"
#include "Platform/GraphicsGL/ModelPart.h"

namespace GL {

inline constexpr size_t kObjMaxVertices = 65536;
// The model draw buffers hold this many indices; a larger part could not be drawn.
inline constexpr size_t kObjMaxIndices = 262144;

// Replaces the part's vertices and indices with the file's triangles (every
// vertex white, texture coordinates 0). A file that cannot be read leaves the
// part empty. A face with a missing or out-of-range index, or with other than
// three corners, stops reading: the faces before it stay in the part, and
// the error is logged ("OBJ load failed - ..."). Returns true when the whole
// file was read without error.
bool LoadObj(const Path& path, ModelPart& part);

// The same over text already in memory; `name` appears in log lines.
bool LoadObjFromText(const char* text, size_t length, const char* name, ModelPart& part);

}  // namespace GL
