#include <gtest/gtest.h>

#include "measure/receivercontext.h"
#include "measure/sampleclock.h"

// One analyzer: a new sample starts no sooner than 1 s after the previous one.
TEST(SampleClock, OneAnalyzerSamplesAtMostOnceASecond) {
    SampleClock c;
    SampleClock_Reset(c, 1);
    EXPECT_EQ(c.maskAll, 1u);
    const double t0 = 4e9;
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0));
    EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 0.3));
    EXPECT_FALSE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 0.9));
    EXPECT_FALSE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 1.0));
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 1.01));
    EXPECT_DOUBLE_EQ(c.sampleStart.dateTime, t0 + 1.01);
}

// Two analyzers measure the same sample: it starts when both are ready and
// closes when both have read it.
TEST(SampleClock, TwoAnalyzersInLockStep) {
    SampleClock c;
    SampleClock_Reset(c, 2);
    const double t0 = 4e9;
    EXPECT_FALSE(SampleClock_MayMeasure(c, 1, kStateRecording, t0)) << "analyzer 2 is still setting up";
    EXPECT_TRUE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 0.1));
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 0.2)) << "joins the sample in progress";
    EXPECT_FALSE(SampleClock_IsClosed(c, 2, t0 + 0.4));
    EXPECT_FALSE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 0.5)) << "no new sample while one is open";
    EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 0.6));
    EXPECT_TRUE(SampleClock_IsClosed(c, 2, t0 + 0.7)) << "the closed sample is seen by the other analyzer too";
    EXPECT_DOUBLE_EQ(c.sampleEnd.dateTime, t0 + 0.6);
}

// An analyzer being re-initialised drops out of the samples.
TEST(SampleClock, InactiveAnalyzerHoldsNobodyUp) {
    SampleClock c;
    SampleClock_Reset(c, 2);
    const double t0 = 4e9;
    SampleClock_SetInactive(c, 2);
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0));
    EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 0.2));
    // Analyzer 2 goes inactive in the middle of a sample: the sample still closes.
    EXPECT_FALSE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 0.5));
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 1.5));
    EXPECT_TRUE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 1.6));
    SampleClock_SetInactive(c, 2);
    EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 1.7));
}

// A thread that only monitors takes part in no sample.
TEST(SampleClock, MonitoringThreadStaysOutOfSamples) {
    SampleClock c;
    SampleClock_Reset(c, 2);
    const double t0 = 4e9;
    EXPECT_FALSE(SampleClock_MayMeasure(c, 2, kStateMonitoring, t0));
    EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 0.1));
    EXPECT_FALSE(SampleClock_MayMeasure(c, 2, kStateMonitoring, t0 + 0.2));
    EXPECT_TRUE(c.maskInactive & 2u);
    EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 0.3));
}

// Only a real change of the clock counts, so that a thread that asks again
// and again wakes nobody (three waiting analyzers used to wake each other in
// an endless loop).
TEST(SampleClock, RevisionCountsRealChangesOnly) {
    SampleClock c;
    SampleClock_Reset(c, 3);
    const double t0 = 4e9;
    auto changes = [&c](auto call) {
        const std::uint32_t before = c.revision;
        call();
        return c.revision != before;
    };
    EXPECT_TRUE(changes([&] { SampleClock_MayMeasure(c, 1, kStateRecording, t0); })) << "ready";
    EXPECT_FALSE(changes([&] { SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 0.01); })) << "asks again";
    EXPECT_TRUE(changes([&] { SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 0.02); }));
    EXPECT_FALSE(changes([&] { SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 0.03); }));
    EXPECT_TRUE(changes([&] { EXPECT_TRUE(SampleClock_MayMeasure(c, 3, kStateRecording, t0 + 0.04)); })) << "starts";
    EXPECT_FALSE(changes([&] { EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 0.05)); }));
    EXPECT_TRUE(changes([&] { EXPECT_FALSE(SampleClock_IsClosed(c, 1, t0 + 0.2)); })) << "stored";
    EXPECT_FALSE(changes([&] { EXPECT_FALSE(SampleClock_IsClosed(c, 1, t0 + 0.3)); }));
    EXPECT_TRUE(changes([&] { SampleClock_SetInactive(c, 3); }));
    EXPECT_FALSE(changes([&] { SampleClock_SetInactive(c, 3); }));
    EXPECT_TRUE(changes([&] { EXPECT_TRUE(SampleClock_IsClosed(c, 2, t0 + 0.4)); })) << "closes";
    EXPECT_FALSE(changes([&] { EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 0.5)); }));
}
