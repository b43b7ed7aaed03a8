#include "records/gps.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kEarthRadiusKm = 6371.0;
}

double Gps_DegToRad(double degrees) { return degrees * std::numbers::pi / 180.0; }

double Gps_DistanceKm(double lon1, double lat1, double lon2, double lat2) {
    const double dLambda = Gps_DegToRad(lon2 - lon1);
    const double dPhi = Gps_DegToRad(lat2 - lat1);
    const double sinPhi = std::sin(dPhi / 2.0);
    const double sinLambda = std::sin(dLambda / 2.0);
    double a = sinPhi * sinPhi + std::cos(Gps_DegToRad(lat1)) * std::cos(Gps_DegToRad(lat2)) * sinLambda * sinLambda;
    // Rounding can push a a hair outside [0, 1] for antipodal points; sqrt(1 - a) must stay real.
    a = std::clamp(a, 0.0, 1.0);
    return kEarthRadiusKm * 2.0 * std::atan2(std::sqrt(a), std::sqrt(1.0 - a));
}
