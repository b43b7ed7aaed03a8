#include "coverage/utm.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kA = 6378137.0;                 // WGS 84 semi-major axis, metres
constexpr double kF = 1.0 / 298.257223563;       // WGS 84 flattening
constexpr double kK0 = 0.9996;                   // UTM scale on the central meridian
constexpr double kFalseEasting = 500000.0;
constexpr double kFalseNorthingSouth = 10000000.0;

struct Series {
    double e = 0.0;                   // eccentricity
    double rectifying = 0.0;          // k0 x A, A the rectifying radius
    std::array<double, 6> alpha{};    // forward
    std::array<double, 6> beta{};     // inverse
};

Series MakeSeries() {
    Series s;
    const double n = kF / (2.0 - kF);
    const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
    s.e = std::sqrt(kF * (2.0 - kF));
    s.rectifying = kK0 * kA / (1.0 + n) * (1.0 + n2 / 4.0 + n4 / 64.0 + n6 / 256.0);
    s.alpha = {n / 2.0 - 2.0 * n2 / 3.0 + 5.0 * n3 / 16.0 + 41.0 * n4 / 180.0 - 127.0 * n5 / 288.0 + 7891.0 * n6 / 37800.0,
               13.0 * n2 / 48.0 - 3.0 * n3 / 5.0 + 557.0 * n4 / 1440.0 + 281.0 * n5 / 630.0 - 1983433.0 * n6 / 1935360.0,
               61.0 * n3 / 240.0 - 103.0 * n4 / 140.0 + 15061.0 * n5 / 26880.0 + 167603.0 * n6 / 181440.0,
               49561.0 * n4 / 161280.0 - 179.0 * n5 / 168.0 + 6601661.0 * n6 / 7257600.0,
               34729.0 * n5 / 80640.0 - 3418889.0 * n6 / 1995840.0,
               212378941.0 * n6 / 319334400.0};
    s.beta = {n / 2.0 - 2.0 * n2 / 3.0 + 37.0 * n3 / 96.0 - n4 / 360.0 - 81.0 * n5 / 512.0 + 96199.0 * n6 / 604800.0,
              n2 / 48.0 + n3 / 15.0 - 437.0 * n4 / 1440.0 + 46.0 * n5 / 105.0 - 1118711.0 * n6 / 3870720.0,
              17.0 * n3 / 480.0 - 37.0 * n4 / 840.0 - 209.0 * n5 / 4480.0 + 5569.0 * n6 / 90720.0,
              4397.0 * n4 / 161280.0 - 11.0 * n5 / 504.0 - 830251.0 * n6 / 7257600.0,
              4583.0 * n5 / 161280.0 - 108847.0 * n6 / 3991680.0,
              20648693.0 * n6 / 638668800.0};
    return s;
}

const Series& Wgs84() {
    static const Series s = MakeSeries();
    return s;
}

double Radians(double degrees) { return degrees * kPi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / kPi; }

// tan of the conformal latitude from tan of the geodetic latitude (Karney eq. 7-9).
double ConformalTan(double tau, double e) {
    const double root = std::hypot(1.0, tau);
    const double sigma = std::sinh(e * std::atanh(e * tau / root));
    return tau * std::hypot(1.0, sigma) - sigma * root;
}

// The inverse of ConformalTan by Newton's method (Karney eq. 19-21).
double GeodeticTan(double tauPrime, double e) {
    const double e2m = 1.0 - e * e;
    double tau = tauPrime;
    for (int i = 0; i < 8; ++i) {
        const double tp = ConformalTan(tau, e);
        const double slope = e2m * std::hypot(1.0, tp) * std::hypot(1.0, tau) / (1.0 + e2m * tau * tau);
        const double step = (tauPrime - tp) / slope;
        tau += step;
        if (std::abs(step) <= 1e-14 * std::max(1.0, std::abs(tau))) break;
    }
    return tau;
}

}  // namespace

UtmZone Utm_ZoneOf(double latitude, double longitude) {
    double lon = std::fmod(longitude + 180.0, 360.0);
    if (lon < 0.0) lon += 360.0;
    UtmZone z;
    z.zone = static_cast<int>(lon / 6.0) + 1;
    if (z.zone > 60) z.zone = 60;
    z.south = latitude < 0.0;
    const double east = lon - 180.0;
    if (latitude >= 56.0 && latitude < 64.0 && east >= 3.0 && east < 12.0) z.zone = 32;
    if (latitude >= 72.0 && latitude <= 84.0 && east >= 0.0 && east < 42.0) {
        if (east < 9.0) z.zone = 31;
        else if (east < 21.0) z.zone = 33;
        else if (east < 33.0) z.zone = 35;
        else z.zone = 37;
    }
    return z;
}

void Utm_Forward(const UtmZone& zone, double latitude, double longitude, double& easting, double& northing) {
    const Series& s = Wgs84();
    double dlon = longitude - zone.centralMeridian();
    dlon = std::remainder(dlon, 360.0);  // the short way to the central meridian
    const double lambda = Radians(dlon);
    const double tauP = ConformalTan(std::tan(Radians(latitude)), s.e);
    const double xiP = std::atan2(tauP, std::cos(lambda));
    const double etaP = std::asinh(std::sin(lambda) / std::hypot(tauP, std::cos(lambda)));
    double xi = xiP, eta = etaP;
    for (int j = 1; j <= 6; ++j) {
        const double a = s.alpha[static_cast<std::size_t>(j - 1)];
        xi += a * std::sin(2.0 * j * xiP) * std::cosh(2.0 * j * etaP);
        eta += a * std::cos(2.0 * j * xiP) * std::sinh(2.0 * j * etaP);
    }
    easting = kFalseEasting + s.rectifying * eta;
    northing = s.rectifying * xi + (zone.south ? kFalseNorthingSouth : 0.0);
}

void Utm_Inverse(const UtmZone& zone, double easting, double northing, double& latitude, double& longitude) {
    const Series& s = Wgs84();
    const double xi = (northing - (zone.south ? kFalseNorthingSouth : 0.0)) / s.rectifying;
    const double eta = (easting - kFalseEasting) / s.rectifying;
    double xiP = xi, etaP = eta;
    for (int j = 1; j <= 6; ++j) {
        const double b = s.beta[static_cast<std::size_t>(j - 1)];
        xiP -= b * std::sin(2.0 * j * xi) * std::cosh(2.0 * j * eta);
        etaP -= b * std::cos(2.0 * j * xi) * std::sinh(2.0 * j * eta);
    }
    const double tauP = std::sin(xiP) / std::hypot(std::sinh(etaP), std::cos(xiP));
    latitude = Degrees(std::atan(GeodeticTan(tauP, s.e)));
    double lon = zone.centralMeridian() + Degrees(std::atan2(std::sinh(etaP), std::cos(xiP)));
    lon = std::remainder(lon, 360.0);
    if (lon == 180.0) lon = -180.0;
    longitude = lon;
}
