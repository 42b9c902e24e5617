// Writes the four OBJ files of the camera model shown on the searching screen:
//
//   orvex-modelgen OUTPUT_FOLDER
//
// writes cam.obj (the cylindrical body with its cable gland), cam-lights.obj
// (the ring of LEDs around the lens), cam-cap.obj (the front bezel and the
// lens) and cam-screws.obj (the bezel and back-plate screws). The files are
// committed in Data/; rerun this program after changing it.
//
// Coordinates: the camera looks along +y, z is up, x to the right, in a
// right-handed frame as usual for OBJ files. The program mirrors z when it
// loads them and turns the model so that +y faces the viewer.
//
// Every part is built from surfaces of revolution around an axis parallel to
// y ("lathe" profiles in (radius, y)). The files use only the subset the
// program reads: "v", "vn" and triangular "f v//vn" lines; positions and
// normals are written once and shared between faces.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
// The parts below are designed with a body radius of 0.8; the files are written
// at this scale so that the turning model stays clear of the searching text
// beneath it (the scene's camera and projection are fixed).
constexpr double kModelScale = 0.7;

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalise(Vec3 v) {
    const double l = std::sqrt(Dot(v, v));
    return l > 0 ? Vec3{v.x / l, v.y / l, v.z / l} : v;
}

// One OBJ file being built: positions and normals are deduplicated by their
// printed text, so faces that meet share "v" and "vn" entries.
class ObjWriter {
public:
    struct Corner {
        Vec3 position;
        Vec3 normal;
    };

    void Triangle(Corner a, Corner b, Corner c) {
        // Wind every triangle counter-clockwise seen from outside (where its
        // normals point), whatever order the caller produced.
        const Vec3 geometric = Cross(b.position - a.position, c.position - a.position);
        if (Dot(geometric, geometric) < 1e-18) return;  // degenerate (on the axis)
        if (Dot(geometric, a.normal + b.normal + c.normal) < 0) std::swap(b, c);
        faces_.push_back({Index(a), Index(b), Index(c)});
    }

    bool Write(const std::string& path, const char* title) const {
        FILE* f = std::fopen(path.c_str(), "w");
        if (f == nullptr) return false;
        std::fprintf(f, "# %s\n# written by Tools/ModelGen (orvex-modelgen); body radius %.2f\n", title, 0.8 * kModelScale);
        std::fprintf(f, "# %zu positions, %zu normals, %zu triangles\n", positions_.size(), normals_.size(),
                     faces_.size());
        for (const std::string& p : positions_) std::fprintf(f, "v %s\n", p.c_str());
        for (const std::string& n : normals_) std::fprintf(f, "vn %s\n", n.c_str());
        for (const Face& face : faces_) {
            std::fprintf(f, "f %d//%d %d//%d %d//%d\n", face.c[0].first, face.c[0].second, face.c[1].first,
                         face.c[1].second, face.c[2].first, face.c[2].second);
        }
        return std::fclose(f) == 0;
    }

private:
    struct Face {
        std::pair<int, int> c[3];
    };

    static std::string Text(Vec3 v, int decimals) {
        char buffer[96];
        // Avoid "-0.00000", which would make two spellings of one number.
        auto clean = [](double d) { return std::fabs(d) < 5e-7 ? 0.0 : d; };
        std::snprintf(buffer, sizeof buffer, "%.*f %.*f %.*f", decimals, clean(v.x), decimals, clean(v.y), decimals,
                      clean(v.z));
        return buffer;
    }

    static int Find(std::map<std::string, int>& index, std::vector<std::string>& list, const std::string& key) {
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        list.push_back(key);
        index.emplace(key, int(list.size()));
        return int(list.size());
    }

    std::pair<int, int> Index(const Corner& c) {
        const Vec3 p{c.position.x * kModelScale, c.position.y * kModelScale, c.position.z * kModelScale};
        return {Find(positionIndex_, positions_, Text(p, 5)),
                Find(normalIndex_, normals_, Text(Normalise(c.normal), 4))};
    }

    std::map<std::string, int> positionIndex_, normalIndex_;
    std::vector<std::string> positions_, normals_;
    std::vector<Face> faces_;
};

// A profile point in (radius, y). `smooth` asks for a normal averaged with
// the neighbouring segment at this point (curved surfaces); otherwise each
// segment keeps its own normal and the edge stays sharp.
struct ProfilePoint {
    double r, y;
    bool smooth = false;
};

struct LatheOptions {
    double centreX = 0, centreZ = 0;  // axis position
    double ySign = 1;                 // -1 mirrors the profile along y about y = 0 of the axis
    double yOffset = 0;
    int segments = 64;                // around the axis
    bool facetted = false;            // flat faces around the axis (hexagon nuts)
    double phase = 0;                 // rotation of the first segment, radians
};

// Revolves the profile around the axis. The profile runs so that the outside
// of the surface lies to the right of the direction of travel in the
// (radius, y) plane: outward normal (dy, -dr).
void Lathe(ObjWriter& obj, const std::vector<ProfilePoint>& profile, const LatheOptions& o) {
    const size_t n = profile.size();
    std::vector<std::pair<double, double>> segmentNormal(n - 1);
    for (size_t i = 0; i + 1 < n; ++i) {
        const double dr = profile[i + 1].r - profile[i].r;
        const double dy = (profile[i + 1].y - profile[i].y) * o.ySign;
        const double l = std::hypot(dr, dy);
        // With the profile mirrored along y the outside flips to the other side.
        segmentNormal[i] = l > 0 ? std::make_pair(o.ySign * dy / l, -o.ySign * dr / l) : std::make_pair(0.0, 0.0);
    }
    auto pointNormal = [&](size_t point, size_t segment) {
        if (!profile[point].smooth) return segmentNormal[segment];
        std::pair<double, double> sum = segmentNormal[segment];
        if (point > 0 && point - 1 != segment && point - 1 < n - 1) {
            sum.first += segmentNormal[point - 1].first;
            sum.second += segmentNormal[point - 1].second;
        }
        if (point < n - 1 && point != segment) {
            sum.first += segmentNormal[point].first;
            sum.second += segmentNormal[point].second;
        }
        const double l = std::hypot(sum.first, sum.second);
        return l > 0 ? std::make_pair(sum.first / l, sum.second / l) : segmentNormal[segment];
    };
    auto corner = [&](size_t point, size_t segment, int step, double normalAngle) {
        const double angle = o.phase + 2 * kPi * step / o.segments;
        const double c = std::cos(angle), s = std::sin(angle);
        const double nc = std::cos(normalAngle), ns = std::sin(normalAngle);
        const auto normal = pointNormal(point, segment);
        ObjWriter::Corner k;
        k.position = {o.centreX + profile[point].r * c, o.yOffset + o.ySign * profile[point].y,
                      o.centreZ + profile[point].r * s};
        k.normal = {normal.first * nc, normal.second, normal.first * ns};
        return k;
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        for (int step = 0; step < o.segments; ++step) {
            const double a0 = o.phase + 2 * kPi * step / o.segments;
            const double a1 = o.phase + 2 * kPi * (step + 1) / o.segments;
            const double mid = (a0 + a1) / 2;
            const ObjWriter::Corner p00 = corner(i, i, step, o.facetted ? mid : a0);
            const ObjWriter::Corner p01 = corner(i, i, step + 1, o.facetted ? mid : a1);
            const ObjWriter::Corner p10 = corner(i + 1, i, step, o.facetted ? mid : a0);
            const ObjWriter::Corner p11 = corner(i + 1, i, step + 1, o.facetted ? mid : a1);
            obj.Triangle(p00, p10, p11);
            obj.Triangle(p00, p11, p01);
        }
    }
}

// Points on a circular arc in (radius, y) around (cr, cy), from angle a0 to
// a1 (radians, measured from the +radius direction towards +y), smooth.
void Arc(std::vector<ProfilePoint>& profile, double cr, double cy, double radius, double a0, double a1, int steps) {
    for (int i = 0; i <= steps; ++i) {
        const double a = a0 + (a1 - a0) * i / steps;
        const ProfilePoint p{cr + radius * std::cos(a), cy + radius * std::sin(a), true};
        // The arc usually starts where the profile already is; a repeated point
        // would make a segment of zero length without a normal.
        if (!profile.empty() && std::hypot(p.r - profile.back().r, p.y - profile.back().y) < 1e-9) {
            profile.back().smooth = true;
            continue;
        }
        profile.push_back(p);
    }
}

// --- the parts -----------------------------------------------------------

constexpr double kBodyRadius = 0.8;
constexpr double kBodyBack = -1.0;
constexpr double kBodyFront = 0.75;
constexpr double kBackPlate = -1.06;
constexpr double kCapFace = 0.92;
constexpr double kLedRadius = 0.61;
constexpr double kScrewRadius = 0.745;
constexpr double kBackScrewRadius = 0.6;

void Body(ObjWriter& obj) {
    // Shell: back plate, back chamfer, three cooling grooves, front disc under the cap.
    std::vector<ProfilePoint> shell = {{0, kBackPlate}, {0.74, kBackPlate}, {kBodyRadius, kBodyBack}};
    for (double g : {-0.62, -0.47, -0.32}) {
        shell.push_back({kBodyRadius, g});
        shell.push_back({0.765, g});
        shell.push_back({0.765, g + 0.06});
        shell.push_back({kBodyRadius, g + 0.06});
    }
    shell.push_back({kBodyRadius, kBodyFront});
    shell.push_back({0, kBodyFront});
    Lathe(obj, shell, {});

    // Cable gland: hexagon nut, then a round sleeve with a rounded end, pointing back.
    LatheOptions back;
    back.ySign = -1;
    back.yOffset = kBackPlate;  // profile y measured backwards from the back plate
    back.segments = 6;
    back.facetted = true;
    back.phase = kPi / 6;
    Lathe(obj, {{0.3, -0.01}, {0.3, 0.09}, {0.26, 0.11}, {0, 0.11}}, back);
    back.segments = 48;
    back.facetted = false;
    back.phase = 0;
    std::vector<ProfilePoint> sleeve = {{0.19, 0.11}, {0.19, 0.22}};
    Arc(sleeve, 0.14, 0.22, 0.05, 0, kPi / 2, 6);
    sleeve.push_back({0, 0.27});
    Lathe(obj, sleeve, back);
}

void Lights(ObjWriter& obj) {
    // Twelve LEDs: small clear domes standing in the bezel around the lens.
    std::vector<ProfilePoint> led = {{0.055, kCapFace - 0.01}, {0.055, kCapFace + 0.008}};
    Arc(led, 0, kCapFace + 0.008, 0.055, 0, kPi / 2, 8);
    led[1].smooth = false;
    for (int k = 0; k < 12; ++k) {
        const double a = 2 * kPi * (k + 0.5) / 12;
        LatheOptions o;
        o.centreX = kLedRadius * std::cos(a);
        o.centreZ = kLedRadius * std::sin(a);
        o.segments = 20;
        Lathe(obj, led, o);
    }
}

void Cap(ObjWriter& obj) {
    // Bezel: overlaps the body's front edge, chamfered outer rim, flat face,
    // a recess with the lens barrel, and the domed lens.
    std::vector<ProfilePoint> bezel = {{0.79, 0.69},  {0.835, 0.72}, {0.835, 0.885}, {0.80, kCapFace},
                                       {0.52, kCapFace}, {0.5, 0.90},   {0.5, 0.84},    {0.33, 0.84},
                                       {0.33, 0.855}};
    // Lens: a spherical cap from the barrel's inner edge up to the axis.
    const double lensCentre = 0.43, lensRadius = 0.52;
    const double start = std::atan2(0.855 - lensCentre, std::sqrt(lensRadius * lensRadius -
                                                                   (0.855 - lensCentre) * (0.855 - lensCentre)));
    Arc(bezel, 0, lensCentre, lensRadius, start, kPi / 2, 14);
    bezel[bezel.size() - 15].smooth = false;  // sharp edge between barrel rim and glass
    Lathe(obj, bezel, {});
}

void Screws(ObjWriter& obj) {
    // Pan heads: a short cylinder with a domed top and a shallow hexagon socket
    // suggested by a flat centre.
    std::vector<ProfilePoint> head = {{0.045, 0}, {0.045, 0.014}};
    Arc(head, 0.018, 0.014, 0.027, 0, kPi / 2 - 0.35, 5);
    head.push_back({0.012, head.back().y});
    head.push_back({0.012, head.back().y - 0.008});
    head.push_back({0, head.back().y});
    head[1].smooth = false;
    for (int k = 0; k < 4; ++k) {
        const double a = kPi / 4 + kPi / 2 * k;
        LatheOptions front;
        front.centreX = kScrewRadius * std::cos(a);
        front.centreZ = kScrewRadius * std::sin(a);
        front.yOffset = kCapFace - 0.004;
        front.segments = 24;
        Lathe(obj, head, front);
        LatheOptions back = front;
        back.centreX = kBackScrewRadius * std::cos(a);
        back.centreZ = kBackScrewRadius * std::sin(a);
        back.yOffset = kBackPlate + 0.004;
        back.ySign = -1;
        Lathe(obj, head, back);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Part {
        const char* file;
        const char* title;
        void (*build)(ObjWriter&);
    };
    const Part parts[] = {
        {"cam.obj", "ORVEX camera unit: body", Body},
        {"cam-lights.obj", "ORVEX camera unit: LED ring", Lights},
        {"cam-cap.obj", "ORVEX camera unit: front cap and lens", Cap},
        {"cam-screws.obj", "ORVEX camera unit: screws", Screws},
    };
    for (const Part& p : parts) {
        ObjWriter obj;
        p.build(obj);
        if (!obj.Write(folder + "/" + p.file, p.title)) {
            std::fprintf(stderr, "orvex-modelgen: cannot write %s/%s\n", folder.c_str(), p.file);
            return 1;
        }
    }
    return 0;
}
