// Build tool: renders the 256 x 256 spherical reflection map that the model
// shader samples (texture slot 0 of every camera model part).
//
//   orvex-reflection-map OUT.png
//
// A sphere map stores, at image point (u, v), the environment seen in the
// direction reflected off a mirror sphere whose normal there is
// (x, y, sqrt(1 - x^2 - y^2)) with x = 2u - 1, y = 1 - 2v (row 0 is the top).
// The environment is a small photo studio: a dark floor, a dim ceiling, a
// large soft box above and in front, a strip light on the left and a faint
// warm bounce from the right. That gives the dark camera body broad soft
// highlights that read as a glossy, solid object while it turns.
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Vec3 {
    double x, y, z;
};

Vec3 Normalise(Vec3 v) {
    const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? Vec3{v.x / l, v.y / l, v.z / l} : v;
}

double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double Smooth(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// A soft rectangular light: bright where the direction lies within the
// angular half-sizes (in the light's own frame), falling off smoothly.
double SoftBox(Vec3 d, Vec3 centre, Vec3 up, double halfW, double halfH, double soft) {
    centre = Normalise(centre);
    const Vec3 right = Normalise(Vec3{up.y * centre.z - up.z * centre.y, up.z * centre.x - up.x * centre.z,
                                      up.x * centre.y - up.y * centre.x});
    const Vec3 top{centre.y * right.z - centre.z * right.y, centre.z * right.x - centre.x * right.z,
                   centre.x * right.y - centre.y * right.x};
    const double c = Dot(d, centre);
    if (c <= 0) return 0;
    const double a = std::fabs(Dot(d, right) / c);
    const double b = std::fabs(Dot(d, top) / c);
    return (1 - Smooth(halfW, halfW + soft, a)) * (1 - Smooth(halfH, halfH + soft, b));
}

Vec3 Environment(Vec3 d) {
    // Base: floor below, a graded ceiling above, a lighter horizon band.
    const double up = d.y;
    double base;
    if (up < 0) {
        base = 0.12 + 0.20 * std::exp(-14 * up * up);
    } else {
        base = 0.16 + 0.16 * std::exp(-10 * up * up) + 0.06 * up;
    }
    Vec3 c{base * 0.96, base * 0.98, base * 1.04};
    const double box = SoftBox(d, Vec3{0.1, 0.85, 0.55}, Vec3{0, 0, -1}, 0.55, 0.35, 0.25);
    const double strip = SoftBox(d, Vec3{-0.95, 0.25, 0.2}, Vec3{0, 1, 0}, 0.12, 0.9, 0.12);
    const double bounce = SoftBox(d, Vec3{0.9, -0.1, -0.3}, Vec3{0, 1, 0}, 0.5, 0.5, 0.5);
    c.x += 0.95 * box + 0.80 * strip + 0.22 * bounce;
    c.y += 0.95 * box + 0.82 * strip + 0.17 * bounce;
    c.z += 0.97 * box + 0.88 * strip + 0.11 * bounce;
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    constexpr int kSize = 256;
    std::vector<unsigned char> rgb(kSize * kSize * 3);
    for (int row = 0; row < kSize; ++row) {
        for (int col = 0; col < kSize; ++col) {
            double x = (col + 0.5) / kSize * 2 - 1;
            double y = 1 - (row + 0.5) / kSize * 2;
            const double r2 = x * x + y * y;
            if (r2 > 1) {  // outside the disc: repeat the rim so filtering never sees black
                const double r = std::sqrt(r2);
                x /= r;
                y /= r;
            }
            const double nz = std::sqrt(std::max(0.0, 1 - x * x - y * y));
            const Vec3 reflected{2 * nz * x, 2 * nz * y, 2 * nz * nz - 1};
            const Vec3 c = Environment(reflected);
            unsigned char* p = &rgb[(row * kSize + col) * 3];
            p[0] = static_cast<unsigned char>(std::lround(std::clamp(c.x, 0.0, 1.0) * 255));
            p[1] = static_cast<unsigned char>(std::lround(std::clamp(c.y, 0.0, 1.0) * 255));
            p[2] = static_cast<unsigned char>(std::lround(std::clamp(c.z, 0.0, 1.0) * 255));
        }
    }
    if (!stbi_write_png(argv[1], kSize, kSize, 3, rgb.data(), kSize * 3)) {
        std::fprintf(stderr, "orvex-reflection-map: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
