#include "Platform/GraphicsGL/ObjLoader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Base/Log.h"
#include "Base/FileServices.h"

namespace GL {

namespace {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    bool operator==(const Vec3&) const = default;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits one line into tokens at spaces and tabs.
void Tokenise(std::string_view line, std::vector<std::string_view>* tokens) {
    tokens->clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) tokens->push_back(line.substr(start, i - start));
    }
}

// A decimal number, independent of the process locale. Missing, malformed
// or non-finite numbers read as 0 and set *bad.
float ParseNumber(const std::vector<std::string_view>& tokens, size_t index, bool* bad) {
    if (index >= tokens.size()) {
        *bad = true;
        return 0.0f;
    }
    std::string_view t = tokens[index];
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value)) {
        *bad = true;
        return 0.0f;
    }
    return value;
}

Vec3 ParseTriple(const std::vector<std::string_view>& tokens, bool* bad) {
    Vec3 v;
    v.x = ParseNumber(tokens, 1, bad);
    v.y = ParseNumber(tokens, 2, bad);
    v.z = -ParseNumber(tokens, 3, bad);  // mirrored depth axis
    return v;
}

// One face corner "p", "p/t", "p//n" or "p/t/n": fields by position between
// slashes, an empty field is absent. Returns false when a field holds
// anything but digits or a number does not fit; absent numbers come back as 0.
bool ParseCorner(std::string_view token, uint64_t* position, uint64_t* normal) {
    uint64_t fields[3] = {0, 0, 0};
    int field = 0;
    size_t i = 0;
    while (i <= token.size()) {
        const size_t slash = token.find('/', i);
        const size_t end = slash == std::string_view::npos ? token.size() : slash;
        if (field > 2) return false;
        const std::string_view digits = token.substr(i, end - i);
        if (!digits.empty()) {
            uint64_t value = 0;
            const auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (ec != std::errc() || stop != digits.data() + digits.size()) return false;
            fields[field] = value;
        }
        ++field;
        if (slash == std::string_view::npos) break;
        i = slash + 1;
    }
    *position = fields[0];
    *normal = fields[2];
    return true;
}

class ObjReader {
public:
    ObjReader(const char* name, ModelPart& part) : name_(name), part_(part) {}

    bool Read(std::string_view text) {
        std::vector<std::string_view> tokens;
        size_t lineNumber = 0;
        size_t i = 0;
        while (i < text.size()) {
            size_t end = i;
            while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
            ++lineNumber;
            Tokenise(text.substr(i, end - i), &tokens);
            i = end + 1;
            if (tokens.empty()) continue;
            if (tokens[0] == "v") {
                bool bad = false;
                positions_.push_back(ParseTriple(tokens, &bad));
                madeFor_.emplace_back();
                if (bad) WarnNumber(lineNumber);
            } else if (tokens[0] == "vn") {
                bool bad = false;
                normals_.push_back(ParseTriple(tokens, &bad));
                if (bad) WarnNumber(lineNumber);
            } else if (tokens[0] == "f") {
                if (!Face(tokens)) return false;
            }
        }
        return true;
    }

private:
    struct Made {
        uint32_t vertex;
        Vec3 normal;  // as read from the file (mirrored, not normalised)
    };

    void WarnNumber(size_t lineNumber) {
        if (warnedNumber_) return;
        warnedNumber_ = true;
        LOGF(LOG_WARN, LOG_SRC_MAIN, "LoadObj | bad number on line %zu of %s, read as 0", lineNumber,
                 name_);
    }

    // One "f" line. A failed face is taken back out of the part, so the part
    // always holds whole triangles.
    bool Face(const std::vector<std::string_view>& tokens) {
        const size_t firstIndex = part_.indices.size();
        const size_t firstVertex = part_.vertices.size();
        size_t added = 0;
        bool tooMany = false;
        for (size_t t = 1; t < tokens.size(); ++t) {
            uint64_t p = 0, n = 0;
            if (!ParseCorner(tokens[t], &p, &n) || p < 1 || p > positions_.size() || n < 1 || n > normals_.size()) {
                LOGF(LOG_ERROR, LOG_SRC_MAIN, "OBJ load failed - invalid face index");
                break;
            }
            if (part_.indices.size() >= kObjMaxIndices) {
                tooMany = true;
                break;
            }
            const uint32_t vertex = FindOrMake(size_t(p - 1), size_t(n - 1), &tooMany);
            if (tooMany) break;
            part_.indices.push_back(uint16_t(vertex));
            ++added;
        }
        if (tooMany) {
            LOGF(LOG_ERROR, LOG_SRC_MAIN,
                     "OBJ load failed - %s has more than %zu vertices or %zu indices", name_, kObjMaxVertices,
                     kObjMaxIndices);
            TakeBack(firstIndex, firstVertex);
            return false;
        }
        if (added != 3) {
            LOGF(LOG_ERROR, LOG_SRC_MAIN, "OBJ load failed - incorrect face indices");
            TakeBack(firstIndex, firstVertex);
            return false;
        }
        return true;
    }

    uint32_t FindOrMake(size_t position, size_t normalIndex, bool* full) {
        const Vec3& normal = normals_[normalIndex];
        for (const Made& m : madeFor_[position]) {
            if (m.normal == normal) return m.vertex;
        }
        if (part_.vertices.size() >= kObjMaxVertices) {
            *full = true;
            return 0;
        }
        const Vec3& p = positions_[position];
        ModelVertex v{};
        v.x = p.x;
        v.y = p.y;
        v.z = p.z;
        const float length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
        const float scale = length > 0.0f ? 1.0f / length : 0.0f;
        v.nx = normal.x * scale;
        v.ny = normal.y * scale;
        v.nz = normal.z * scale;
        v.u = v.v = 0.0f;
        v.r = v.g = v.b = v.a = 1.0f;
        const uint32_t index = uint32_t(part_.vertices.size());
        part_.vertices.push_back(v);
        madeFor_[position].push_back({index, normal});
        return index;
    }

    void TakeBack(size_t firstIndex, size_t firstVertex) {
        part_.indices.resize(firstIndex);
        part_.vertices.resize(firstVertex);
        for (auto& list : madeFor_) {
            while (!list.empty() && list.back().vertex >= firstVertex) list.pop_back();
        }
    }

    const char* name_;
    ModelPart& part_;
    std::vector<Vec3> positions_;
    std::vector<Vec3> normals_;
    std::vector<std::vector<Made>> madeFor_;  // per position: the vertices made from it
    bool warnedNumber_ = false;
};

}  // namespace

bool LoadObjFromText(const char* text, size_t length, const char* name, ModelPart& part) {
    part.vertices.clear();
    part.indices.clear();
    ObjReader reader(name, part);
    return reader.Read(std::string_view(text, length));
}

bool LoadObj(const Path& path, ModelPart& part) {
    part.vertices.clear();
    part.indices.clear();
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, &bytes)) {
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "OBJ load failed - could not read %s", path.CStr());
        return false;
    }
    return LoadObjFromText(reinterpret_cast<const char*>(bytes.data()), bytes.size(), path.CStr(), part);
}

}  // namespace GL
