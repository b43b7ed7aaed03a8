#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "antenna/antenna.h"
#include "platform/text.h"

namespace {

// An independent clamped spline: the slopes at the knots from the continuity
// of the second derivative, solved as a dense system, evaluated in Hermite
// form. It shares nothing with the second-derivative recurrence under test.
double ReferenceSpline(const std::vector<KFactorPoint>& p, double f) {
    const std::size_t n = p.size();
    std::vector<double> h(n - 1), d(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        h[i] = p[i + 1].frequency - p[i].frequency;
        d[i] = (p[i + 1].kFactor - p[i].kFactor) / h[i];
    }
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
    a[0][0] = 1.0;
    a[0][n] = d[0];  // clamped: slope of the first segment
    a[n - 1][n - 1] = 1.0;
    a[n - 1][n] = d[n - 2];  // and of the last
    for (std::size_t i = 1; i + 1 < n; ++i) {
        a[i][i - 1] = h[i];
        a[i][i] = 2.0 * (h[i - 1] + h[i]);
        a[i][i + 1] = h[i - 1];
        a[i][n] = 3.0 * (h[i] * d[i - 1] + h[i - 1] * d[i]);
    }
    for (std::size_t c = 0; c < n; ++c) {  // Gauss-Jordan with partial pivoting
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double factor = a[r][c] / a[c][c];
            for (std::size_t k = c; k <= n; ++k) a[r][k] -= factor * a[c][k];
        }
    }
    std::size_t k = 0;
    while (k + 2 < n && f > p[k + 1].frequency) ++k;
    const double t = (f - p[k].frequency) / h[k];
    const double m0 = a[k][n] / a[k][k], m1 = a[k + 1][n] / a[k + 1][k + 1];
    return (2 * t * t * t - 3 * t * t + 1) * p[k].kFactor + (t * t * t - 2 * t * t + t) * h[k] * m0 +
           (-2 * t * t * t + 3 * t * t) * p[k + 1].kFactor + (t * t * t - t * t) * h[k] * m1;
}

const std::vector<KFactorPoint> kTypicalAntenna = {
    {30.0, 8.5}, {80.0, 12.1}, {150.0, 14.0}, {300.0, 19.7}, {470.0, 23.4}, {862.0, 28.9}, {1000.0, 30.2},
};

}  // namespace

TEST(KFactorSpline, TwoPointsGiveTheStraightLine) {
    const std::vector<KFactorPoint> points = {{100.0, 10.0}, {200.0, 0.0}};
    KFactorSpline spline(points);
    EXPECT_NEAR(spline.at(150.0), 5.0, 1e-12);
    EXPECT_EQ(Text_FormatFixed(spline.at(150.0), 2), "5.00");
    EXPECT_EQ(spline.at(100.0), 10.0);
    EXPECT_EQ(spline.at(200.0), 0.0);
    EXPECT_NEAR(spline.at(125.0), 7.5, 1e-12);
    EXPECT_NEAR(spline.at(199.0), 0.1, 1e-12);
}

TEST(KFactorSpline, HitsEveryKnotExactly) {
    KFactorSpline spline(kTypicalAntenna);
    for (const KFactorPoint& p : kTypicalAntenna) EXPECT_EQ(spline.at(p.frequency), p.kFactor) << p.frequency;
}

TEST(KFactorSpline, AgreesWithAnIndependentClampedSpline) {
    KFactorSpline spline(kTypicalAntenna);
    for (int i = 0; i <= 970; ++i) {
        const double f = 30.0 + i;
        EXPECT_NEAR(spline.at(f), ReferenceSpline(kTypicalAntenna, f), 1e-9) << f;
    }
    // Three points: the smallest table with an interior equation.
    const std::vector<KFactorPoint> three = {{100.0, 10.0}, {130.0, 4.0}, {400.0, 20.0}};
    KFactorSpline small(three);
    for (double f : {101.0, 115.0, 129.0, 131.0, 250.0, 399.0})
        EXPECT_NEAR(small.at(f), ReferenceSpline(three, f), 1e-9) << f;
}

TEST(KFactorSpline, CollinearTablesStayOnTheLine) {
    // End slopes from the outer segments match the line, so no bulge anywhere.
    std::vector<KFactorPoint> points;
    for (double f : {50.0, 60.0, 170.0, 175.0, 600.0}) points.push_back({f, 2.0 + 0.03 * f});
    KFactorSpline spline(points);
    for (double f = 50.0; f <= 600.0; f += 7.3) EXPECT_NEAR(spline.at(f), 2.0 + 0.03 * f, 1e-10) << f;
}

TEST(KFactorSpline, OutsideTheTableAndDegenerateInputAreSafe) {
    KFactorSpline spline(kTypicalAntenna);
    EXPECT_EQ(spline.at(10.0), 8.5);  // end values, no extrapolation
    EXPECT_EQ(spline.at(-1e300), 8.5);
    EXPECT_EQ(spline.at(5000.0), 30.2);
    EXPECT_EQ(spline.at(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(spline.at(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(KFactorSpline({}).at(100.0), 0.0);
    EXPECT_EQ(KFactorSpline({{100.0, 10.0}}).at(100.0), 0.0);
}
