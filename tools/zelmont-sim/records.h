#pragma once
// The traffic data records the detector buffers, and their three binary layouts (136, 144 and
// 288 bytes, little-endian).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TrafficRecord {
    std::int32_t sensor = 0;
    std::uint32_t time = 0; // seconds since 1970-01-01 UTC
    std::int32_t interval = 0;
    std::int32_t count = 0;
    std::array<std::int32_t, 6> classes{};
    std::int32_t occupancy = 0;
    std::int32_t flags = 0;
    double gap = 0;
    double speed = 0;
    std::array<double, 6> class_speed{};
    double headway = 0;
    double length = 0;
    double density = 0;
    std::array<std::int32_t, 19> speed_bins{};
    std::array<std::int32_t, 19> length_bins{};
};

// `count` records, one per sensor 1..4 in turn, spread evenly over the 10 days before `now`,
// oldest first.
std::vector<TrafficRecord> make_records(int count, std::uint32_t now, std::uint32_t seed);

// The record in the layout of `size` bytes (136, 144 or 288); empty for any other size.
std::string encode_record(const TrafficRecord& r, int size);
