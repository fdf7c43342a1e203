#include "scene.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

namespace {

// Camera: on a 10 m pole over the road, looking along it; the horizon sits at row 40 and the
// picture's bottom edge meets the road 15 m ahead.
constexpr double CameraHeight = 10.0;
constexpr double Focal = 800.0;
constexpr double Horizon = 40.0;
constexpr double CentreX = Scene::Width / 2.0;
constexpr double LaneWidth = 3.2;
constexpr double NearZ = 8.0;  // vehicles appear here, below the picture's bottom edge
constexpr double FarZ = 400.0; // and vanish here, a few pixels under the horizon
constexpr double MinZ = 1.0;   // projection guard: nothing is projected nearer than this
constexpr double ZoneNear = 25.0;
constexpr double ZoneFar = 30.0;

struct Lane {
    double speed;  // m/s
    double period; // s between spawn slots; long enough that no vehicle catches the one ahead
    double truck_share;
};
constexpr std::array<Lane, Scene::Lanes> LaneTable{{
    {16.0, 2.4, 0.45},
    {20.0, 2.0, 0.25},
    {24.0, 1.8, 0.10},
    {28.0, 1.6, 0.05},
}};

struct Kind {
    double length, width, height;
};
constexpr Kind Motorbike{2.2, 0.8, 1.3};
constexpr Kind Car{4.5, 1.8, 1.45};
constexpr Kind Van{5.8, 2.0, 2.4};
constexpr Kind Bus{12.0, 2.5, 3.2};
constexpr Kind Truck{10.0, 2.5, 3.6};
constexpr Kind Semi{16.5, 2.5, 4.0};

constexpr std::array<TRGB, 8> CarColours{{{200, 30, 30},
                                          {30, 60, 170},
                                          {235, 235, 235},
                                          {40, 40, 40},
                                          {150, 150, 160},
                                          {20, 120, 60},
                                          {230, 150, 20},
                                          {110, 20, 90}}};

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

double unit(std::uint64_t h, int which) {
    return static_cast<double>(mix(h + static_cast<std::uint64_t>(which)) >> 11) * 0x1.0p-53;
}

TFloatPoint project(double x, double h, double z) {
    z = std::max(z, MinZ);
    return {CentreX + Focal * x / z, Horizon + Focal * (CameraHeight - h) / z};
}

// --- drawing ---------------------------------------------------------------------------------

class Canvas {
public:
    explicit Canvas(std::vector<std::uint8_t>& pixels) : px_(pixels) {}

    void pixel(int x, int y, TRGB c) {
        if (x < 0 || y < 0 || x >= Scene::Width || y >= Scene::Height)
            return;
        auto* p = &px_[(static_cast<size_t>(y) * Scene::Width + static_cast<size_t>(x)) * 3];
        p[0] = c.R;
        p[1] = c.G;
        p[2] = c.B;
    }

    void rect(int x0, int y0, int x1, int y1, TRGB c) {
        for (int y = std::max(y0, 0); y < std::min(y1, Scene::Height); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, Scene::Width); ++x)
                pixel(x, y, c);
    }

    // Even-odd scanline fill sampled at pixel centres; clipped to the picture.
    template <size_t N> void polygon(const std::array<TFloatPoint, N>& p, TRGB c) {
        double top = p[0].Y, bottom = p[0].Y;
        for (const auto& q : p) {
            top = std::min(top, q.Y);
            bottom = std::max(bottom, q.Y);
        }
        const int y0 = std::max(0, static_cast<int>(std::floor(top)));
        const int y1 = std::min(Scene::Height - 1, static_cast<int>(std::ceil(bottom)));
        std::array<double, N> xs{};
        for (int y = y0; y <= y1; ++y) {
            const double sy = y + 0.5;
            size_t n = 0;
            for (size_t i = 0, j = N - 1; i < N; j = i++) {
                const auto& a = p[i];
                const auto& b = p[j];
                if ((a.Y <= sy && sy < b.Y) || (b.Y <= sy && sy < a.Y))
                    xs[n++] = a.X + (sy - a.Y) * (b.X - a.X) / (b.Y - a.Y);
            }
            // At most N crossings: an insertion sort is all it takes.
            for (size_t a = 1; a < n; ++a)
                for (size_t b = a; b > 0 && xs[b - 1] > xs[b]; --b)
                    std::swap(xs[b - 1], xs[b]);
            for (size_t k = 0; k + 1 < n; k += 2) {
                const double l = std::clamp(xs[k], -1.0, Scene::Width + 1.0);
                const double r = std::clamp(xs[k + 1], -1.0, Scene::Width + 1.0);
                for (int x = static_cast<int>(std::ceil(l - 0.5)); x < std::ceil(r - 0.5); ++x)
                    pixel(x, y, c);
            }
        }
    }

    // A ground-plane rectangle, x0..x1 across and z0..z1 along the road.
    void ground(double x0, double x1, double z0, double z1, TRGB c) {
        polygon(std::array<TFloatPoint, 4>{project(x0, 0, z0), project(x0, 0, z1),
                                           project(x1, 0, z1), project(x1, 0, z0)},
                c);
    }

    void text(int x, int y, const std::string& s, int scale, TRGB c);

private:
    std::vector<std::uint8_t>& px_;
};

// 5 x 7 glyphs for the time stamp and the caption; unknown characters are left blank.
struct Glyph {
    char ch;
    std::array<const char*, 7> rows;
};
constexpr Glyph Font[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {':', {".....", "..#..", "..#..", ".....", "..#..", "..#..", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
};

void Canvas::text(int x, int y, const std::string& s, int scale, TRGB c) {
    for (char ch : s) {
        for (const auto& g : Font) {
            if (g.ch != ch)
                continue;
            for (int r = 0; r < 7; ++r)
                for (int k = 0; k < 5; ++k)
                    if (g.rows[static_cast<size_t>(r)][k] == '#')
                        rect(x + k * scale, y + r * scale, x + (k + 1) * scale, y + (r + 1) * scale,
                             c);
        }
        x += 6 * scale;
    }
}

TRGB shade(TRGB c, int percent) {
    auto f = [percent](std::uint8_t v) {
        return static_cast<std::uint8_t>(std::min(255, v * percent / 100));
    };
    return {f(c.R), f(c.G), f(c.B)};
}

void draw_vehicle(Canvas& cv, const SimVehicle& v) {
    const double l = v.x - v.width / 2, r = v.x + v.width / 2;
    const double zn = v.z_rear, zf = v.z_rear + v.length, h = v.height;
    // Shadow first, a little wider than the body.
    cv.ground(l - 0.2, r + 0.2, zn - 0.3, zf + 0.2, {45, 45, 48});
    // Only the faces turned to the camera: the side nearer the centre line, the roof, the rear.
    if (r < 0)
        cv.polygon(std::array<TFloatPoint, 4>{project(r, 0, zn), project(r, h, zn),
                                              project(r, h, zf), project(r, 0, zf)},
                   shade(v.colour, 70));
    else if (l > 0)
        cv.polygon(std::array<TFloatPoint, 4>{project(l, 0, zn), project(l, h, zn),
                                              project(l, h, zf), project(l, 0, zf)},
                   shade(v.colour, 70));
    cv.polygon(std::array<TFloatPoint, 4>{project(l, h, zn), project(l, h, zf), project(r, h, zf),
                                          project(r, h, zn)},
               v.colour);
    cv.polygon(std::array<TFloatPoint, 4>{project(l, 0, zn), project(l, h, zn), project(r, h, zn),
                                          project(r, 0, zn)},
               shade(v.colour, 55));
    // Rear window on low vehicles, tail lights on all.
    if (h < 2.0)
        cv.polygon(std::array<TFloatPoint, 4>{project(l + 0.2, h * 0.6, zn),
                                              project(l + 0.25, h * 0.95, zn),
                                              project(r - 0.25, h * 0.95, zn),
                                              project(r - 0.2, h * 0.6, zn)},
                   {60, 70, 90});
    const double lw = std::min(0.3, v.width / 4);
    cv.polygon(std::array<TFloatPoint, 4>{project(l + 0.05, 0.5, zn), project(l + 0.05, 0.8, zn),
                                          project(l + 0.05 + lw, 0.8, zn),
                                          project(l + 0.05 + lw, 0.5, zn)},
               {230, 20, 20});
    cv.polygon(std::array<TFloatPoint, 4>{project(r - 0.05 - lw, 0.5, zn),
                                          project(r - 0.05 - lw, 0.8, zn),
                                          project(r - 0.05, 0.8, zn), project(r - 0.05, 0.5, zn)},
               {230, 20, 20});
}

// --- overlap of two quadrangles in integer pixels ---------------------------------------------

std::int64_t cross(TIntPoint o, TIntPoint a, TIntPoint b) {
    return static_cast<std::int64_t>(a.X - o.X) * (b.Y - o.Y) -
           static_cast<std::int64_t>(a.Y - o.Y) * (b.X - o.X);
}

bool on_segment(TIntPoint a, TIntPoint b, TIntPoint p) {
    return std::min(a.X, b.X) <= p.X && p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y &&
           p.Y <= std::max(a.Y, b.Y);
}

bool segments_meet(TIntPoint a, TIntPoint b, TIntPoint c, TIntPoint d) {
    const auto d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && on_segment(c, d, a)) || (d2 == 0 && on_segment(c, d, b)) ||
           (d3 == 0 && on_segment(a, b, c)) || (d4 == 0 && on_segment(a, b, d));
}

bool quads_overlap(const TPixelQuad& a, const TPixelQuad& b) {
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j)
            if (segments_meet(a[i], a[(i + 1) % 4], b[j], b[(j + 1) % 4]))
                return true;
    return PointInPolygon(a[0], b) || PointInPolygon(b[0], a);
}

} // namespace

Scene::Scene(std::uint32_t seed, int fps) : seed_(seed), fps_(std::max(1, fps)) {}

std::vector<SimVehicle> Scene::vehicles_at(std::int64_t frame) const {
    std::vector<SimVehicle> out;
    const double t = static_cast<double>(frame) / fps_;
    for (int lane = 0; lane < Lanes; ++lane) {
        const Lane& ln = LaneTable[static_cast<size_t>(lane)];
        const double travel = (FarZ - NearZ) / ln.speed;
        const auto first = static_cast<std::int64_t>(std::floor((t - travel) / ln.period)) - 1;
        const auto last = static_cast<std::int64_t>(std::floor(t / ln.period));
        // Slots before frame 0 exist too, so the road is already busy when the simulator starts.
        for (std::int64_t k = first; k <= last; ++k) {
            const std::uint64_t h =
                mix((static_cast<std::uint64_t>(seed_) << 32) ^
                    (static_cast<std::uint64_t>(lane) << 28) ^ static_cast<std::uint64_t>(k));
            if (unit(h, 1) < 0.2)
                continue; // an empty slot now and then keeps the traffic irregular
            // Slots start at least 0.55 periods apart: at the lane's speed that leaves room for
            // the longest vehicle, so no vehicle ever runs into the one ahead.
            const double spawn = static_cast<double>(k) * ln.period + unit(h, 2) * 0.45 * ln.period;
            if (spawn > t)
                continue;
            const double pick = unit(h, 3);
            Kind kind = Car;
            if (pick < ln.truck_share)
                kind = pick < ln.truck_share / 3 ? Semi
                                                 : (pick < ln.truck_share * 2 / 3 ? Truck : Bus);
            else if (pick < ln.truck_share + 0.15)
                kind = Van;
            else if (pick > 0.95)
                kind = Motorbike;
            SimVehicle v;
            v.lane = lane;
            v.slot = k;
            v.x = (lane - 1.5) * LaneWidth + (unit(h, 4) - 0.5) * 0.6;
            v.z_rear = NearZ + ln.speed * (t - spawn) - kind.length;
            v.length = kind.length;
            v.width = kind.width;
            v.height = kind.height;
            if (kind.length == Bus.length && kind.height == Bus.height)
                v.colour = {235, 190, 30};
            else if (kind.length >= Truck.length)
                v.colour = unit(h, 5) < 0.5 ? TRGB{240, 240, 240} : TRGB{60, 90, 150};
            else
                v.colour = CarColours[static_cast<size_t>(unit(h, 5) * CarColours.size())];
            if (v.z_rear + v.length > MinZ && v.z_rear < FarZ)
                out.push_back(v);
        }
    }
    return out;
}

std::array<TFloatPoint, 4> Scene::footprint(const SimVehicle& v) {
    const double l = v.x - v.width / 2, r = v.x + v.width / 2;
    const double zn = v.z_rear, zf = v.z_rear + v.length;
    return {project(l, 0, zn), project(l, 0, zf), project(r, 0, zf), project(r, 0, zn)};
}

std::vector<const SimVehicle*> Scene::inside(const TQuadPoints& zone,
                                             const std::vector<SimVehicle>& vehicles) {
    std::vector<const SimVehicle*> out;
    for (const auto& v : vehicles)
        if (occupied(zone, std::vector<SimVehicle>{v}))
            out.push_back(&v);
    return out;
}

bool Scene::occupied(const TQuadPoints& zone, const std::vector<SimVehicle>& vehicles) {
    // The program draws and hit-tests zones on a (W - 1) x (H - 1) scale; do the same.
    const TPixelQuad z = QuadToPixels(zone, Width - 1, Height - 1);
    for (const auto& v : vehicles) {
        TPixelQuad f{};
        const auto fp = footprint(v);
        for (size_t i = 0; i < 4; ++i)
            f[i] = {RoundHalfEven(std::clamp(fp[i].X, -1e6, 1e6)),
                    RoundHalfEven(std::clamp(fp[i].Y, -1e6, 1e6))};
        if (quads_overlap(z, f))
            return true;
    }
    return false;
}

TQuadPoints Scene::lane_zone(int lane) {
    const double margin = 0.35;
    const double l = (lane - 2) * LaneWidth + margin, r = (lane - 1) * LaneWidth - margin;
    const TFloatPoint p[4] = {project(l, 0, ZoneNear), project(l, 0, ZoneFar),
                              project(r, 0, ZoneFar), project(r, 0, ZoneNear)};
    TQuadPoints q{};
    for (size_t i = 0; i < 4; ++i)
        q[i] = {p[i].X / (Width - 1), p[i].Y / (Height - 1)};
    return q;
}

std::vector<std::uint8_t> Scene::render(std::int64_t frame, const std::string& stamp) const {
    std::vector<std::uint8_t> px(static_cast<size_t>(Width) * Height * 3);
    Canvas cv(px);
    // Sky and fields, both a little graded so the picture does not look flat.
    for (int y = 0; y < Height; ++y) {
        TRGB c;
        if (y < Horizon)
            c = {static_cast<std::uint8_t>(150 + y / 3), static_cast<std::uint8_t>(190 + y / 4),
                 235};
        else
            c = {static_cast<std::uint8_t>(70 + (y - Horizon) / 12),
                 static_cast<std::uint8_t>(110 + (y - Horizon) / 8), 60};
        cv.rect(0, y, Width, y + 1, c);
    }
    const double edge = 2 * LaneWidth;
    cv.ground(-edge - 1.0, edge + 1.0, MinZ, 2000, {95, 95, 100});
    cv.ground(-edge - 0.15, -edge, MinZ, 2000, {240, 240, 240});
    cv.ground(edge, edge + 0.15, MinZ, 2000, {240, 240, 240});
    for (int m = -1; m <= 1; ++m)
        for (double z = 3; z < 600; z += 12)
            cv.ground(m * LaneWidth - 0.07, m * LaneWidth + 0.07, z, z + 3, {230, 230, 230});

    auto vehicles = vehicles_at(frame);
    std::sort(vehicles.begin(), vehicles.end(),
              [](const SimVehicle& a, const SimVehicle& b) { return a.z_rear > b.z_rear; });
    for (const auto& v : vehicles)
        draw_vehicle(cv, v);

    cv.rect(8, 8, 16 + static_cast<int>(stamp.size()) * 12, 32, {0, 0, 0});
    cv.text(12, 11, stamp, 2, {255, 255, 255});
    const std::string caption = "ZELMONT SF  #" + std::to_string(frame);
    cv.rect(Width - 20 - static_cast<int>(caption.size()) * 12, 8, Width - 8, 32, {0, 0, 0});
    cv.text(Width - 16 - static_cast<int>(caption.size()) * 12, 11, caption, 2, {255, 220, 80});
    return px;
}

std::string encode_jpeg(const std::vector<std::uint8_t>& rgb, int width, int height, int quality) {
    if (rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
        return {};
    tjhandle handle = tjInitCompress();
    if (!handle)
        return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::string out;
    if (tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &buffer, &size, TJSAMP_420,
                    std::clamp(quality, 1, 100), TJFLAG_FASTDCT) == 0)
        out.assign(reinterpret_cast<const char*>(buffer), size);
    tjFree(buffer);
    tjDestroy(handle);
    return out;
}
