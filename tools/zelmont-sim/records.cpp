#include "records.h"

#include <cmath>
#include <cstring>

namespace {

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void u32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void i32(std::size_t at, std::int32_t v) { u32(at, static_cast<std::uint32_t>(v)); }
    void f64(std::size_t at, double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i)
            out_[at + static_cast<size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }

private:
    std::string& out_;
};

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

std::vector<TrafficRecord> make_records(int count, std::uint32_t now, std::uint32_t seed) {
    std::vector<TrafficRecord> out;
    if (count <= 0)
        return out;
    constexpr std::uint32_t Span = 10 * 24 * 3600;
    const std::uint32_t start = now > Span ? now - Span : 0;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::uint64_t h = mix((static_cast<std::uint64_t>(seed) << 32) ^ static_cast<unsigned>(i));
        auto next = [&h](int range) {
            h = mix(h);
            return static_cast<std::int32_t>(h % static_cast<std::uint64_t>(range));
        };
        TrafficRecord r;
        r.sensor = i % 4 + 1;
        // Evenly spread, the newest one second before now.
        r.time = start +
                 static_cast<std::uint32_t>(static_cast<std::uint64_t>(Span) *
                                            static_cast<unsigned>(i + 1) /
                                            static_cast<unsigned>(count)) -
                 1;
        r.interval = 300;
        for (auto& c : r.classes)
            c = next(12);
        r.classes[1] += next(60); // cars dominate
        r.count = 0;
        for (auto c : r.classes)
            r.count += c;
        r.occupancy = next(40);
        r.flags = 0;
        r.speed = 40 + next(800) / 10.0;
        r.gap = r.count > 0 ? 300.0 / r.count : 0;
        for (size_t k = 0; k < r.class_speed.size(); ++k)
            r.class_speed[k] = r.classes[k] > 0 ? r.speed - 5 * static_cast<double>(k) / 2 : 0;
        r.headway = r.gap * 0.8;
        r.length = 4 + next(60) / 10.0;
        r.density = r.count * 0.5;
        for (auto& b : r.speed_bins)
            b = next(5);
        for (auto& b : r.length_bins)
            b = next(5);
        out.push_back(r);
    }
    return out;
}

std::string encode_record(const TrafficRecord& r, int size) {
    if (size != 136 && size != 144 && size != 288)
        return {};
    std::string out(static_cast<size_t>(size), '\0');
    Writer w(out);
    // The 144-byte layout adds one word after the first and aligns the doubles to 8 bytes.
    const size_t shift = size == 144 ? 4 : 0;
    const size_t dshift = size == 144 ? 8 : 0;
    w.i32(0, r.sensor);
    if (size == 144) {
        w.u32(4, 0xA5A5A5A5u); // not converted by readers; a loud value shows if one does
        w.u32(52, 0x5A5A5A5Au);
    }
    w.u32(4 + shift, r.time);
    w.i32(8 + shift, r.interval);
    w.i32(12 + shift, r.count);
    for (size_t k = 0; k < 6; ++k)
        w.i32(16 + shift + 4 * k, r.classes[k]);
    w.i32(40 + shift, r.occupancy);
    w.i32(44 + shift, r.flags);
    w.f64(48 + dshift, r.gap);
    w.f64(56 + dshift, r.speed);
    for (size_t k = 0; k < 6; ++k)
        w.f64(64 + dshift + 8 * k, r.class_speed[k]);
    w.f64(112 + dshift, r.headway);
    w.f64(120 + dshift, r.length);
    w.f64(128 + dshift, r.density);
    if (size == 288) {
        for (size_t k = 0; k < 19; ++k) {
            w.i32(136 + 4 * k, r.speed_bins[k]);
            w.i32(212 + 4 * k, r.length_bins[k]);
        }
    }
    return out;
}
