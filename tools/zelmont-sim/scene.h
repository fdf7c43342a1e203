#pragma once
// The synthetic road the simulated detector watches: four lanes seen from above and behind,
// vehicles of several lengths driving away from the camera. Everything is a pure function of the
// seed and the frame number, so two runs with the same seed show and detect the same traffic.

#include "geometry/TFGeometry2.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct SimVehicle {
    int lane = 0;
    std::int64_t slot = 0; // with the lane, names the vehicle across frames
    double x = 0;          // lateral centre, metres, 0 under the camera
    double z_rear = 0;     // distance of the rear from the camera, metres
    double length = 0;
    double width = 0;
    double height = 0;
    TRGB colour;
};

class Scene {
public:
    static constexpr int Width = 720;
    static constexpr int Height = 576;
    static constexpr int Lanes = 4;

    Scene(std::uint32_t seed, int fps);

    std::vector<SimVehicle> vehicles_at(std::int64_t frame) const;

    // The vehicle's ground footprint in picture pixels.
    static std::array<TFloatPoint, 4> footprint(const SimVehicle& v);
    // The vehicles whose footprint overlaps the zone (normalised corners).
    static std::vector<const SimVehicle*> inside(const TQuadPoints& zone,
                                                 const std::vector<SimVehicle>& vehicles);
    // True when some vehicle's footprint overlaps the zone (normalised corners).
    static bool occupied(const TQuadPoints& zone, const std::vector<SimVehicle>& vehicles);
    // A zone across lane `lane` (0 = leftmost), in the corner order of DefaultQuad.
    static TQuadPoints lane_zone(int lane);

    // Width x Height x 3 bytes, rows top-down, RGB.
    std::vector<std::uint8_t> render(std::int64_t frame, const std::string& stamp) const;

private:
    std::uint32_t seed_;
    int fps_;
};

// Empty when the encoder fails.
std::string encode_jpeg(const std::vector<std::uint8_t>& rgb, int width, int height, int quality);
