#include <gtest/gtest.h>

#include <cstring>

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

// A thread whose analyzer stops answering in the middle of a sample leaves it
// a second after the others are done; a thread whose analyzer is slow but
// answers keeps everybody waiting, as the lock-step wants. The one that left
// finds the times and position every other stored, and rejoins the next sample.
TEST(SampleClock, StalledThreadLeavesTheSampleASecondAfterTheOthers) {
    struct Row {
        const char* name;
        double lastAnswer;    // seconds after the start: thread 2's last answer
        double othersDone;    // when thread 1 finished the sample
        bool trouble;         // thread 2 lost a reply or the connection in the sample
        double leavesAt;      // 0: still in the sample at +5 s
    };
    const Row rows[] = {
        {"silent since the start", 0.0, 0.1, false, 1.1},
        {"silent after the others were done", 0.5, 0.1, false, 1.5},
        {"the others took longer than the silence", 0.1, 1.4, false, 2.4},
        {"slow, but answering all along", 4.95, 0.1, false, 0.0},
        {"lost a reply: a second after the others however it answers since", 0.9, 0.1, true, 1.1},
    };
    const double t0 = 4e9;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SampleClock c;
        SampleClock_Reset(c, 2);
        c.answeredAt[1] = t0 - 30.0;  // waiting for a start is no silence
        EXPECT_FALSE(SampleClock_MayMeasure(c, 1, kStateRecording, t0));
        ASSERT_TRUE(SampleClock_MayMeasure(c, 2, kStateRecording, t0));
        c.sharedGps.gpsFix = 1;
        c.sharedGps.latitude = 48.1;
        SampleClock_Answered(c, 2, t0 + r.lastAnswer);
        if (r.trouble) SampleClock_Trouble(c, 2);
        EXPECT_FALSE(SampleClock_IsClosed(c, 1, t0 + r.othersDone));
        const double deadline = t0 + (r.leavesAt > 0.0 ? r.leavesAt : r.lastAnswer + kStallSeconds);
        EXPECT_NEAR(SampleClock_StallDeadline(c), deadline, 1e-6);
        if (r.leavesAt > 0.0) {
            EXPECT_FALSE(SampleClock_LeaveStalled(c, deadline - 0.01));
        }
        const double check = r.leavesAt > 0.0 ? deadline : t0 + 5.0;
        EXPECT_EQ(SampleClock_LeaveStalled(c, check), r.leavesAt > 0.0);
        LeftSample left;
        if (r.leavesAt == 0.0) {
            EXPECT_FALSE(SampleClock_TakeLeft(c, 2, left));
            continue;
        }
        EXPECT_TRUE(SampleClock_IsClosed(c, 1, check + 0.1)) << "the sample closed without thread 2";
        ASSERT_TRUE(SampleClock_TakeLeft(c, 2, left));
        EXPECT_FALSE(SampleClock_TakeLeft(c, 2, left)) << "taken once";
        EXPECT_DOUBLE_EQ(left.start.dateTime, c.sampleStart.dateTime);
        EXPECT_DOUBLE_EQ(left.end.dateTime, c.sampleEnd.dateTime);
        EXPECT_DOUBLE_EQ(left.end.dateTime, check);
        EXPECT_EQ(std::memcmp(&left.gps, &c.sharedGps, sizeof left.gps), 0);
        // Thread 2 holds the next sample up no more, and joins the one after once it is ready.
        EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 6.0));
        EXPECT_TRUE(SampleClock_IsClosed(c, 1, t0 + 6.1));
        EXPECT_FALSE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 7.0));
        EXPECT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 7.2));
        EXPECT_TRUE(SampleClock_MayMeasure(c, 2, kStateRecording, t0 + 7.3));
        EXPECT_FALSE(SampleClock_IsClosed(c, 1, t0 + 7.4)) << "thread 2 takes part again";
    }
}

// A lone analyzer has nobody to wait for it: it leaves its own sample after a
// second without answers, and the sample closes with it.
TEST(SampleClock, LoneThreadLeavesItsOwnStalledSample) {
    SampleClock c;
    SampleClock_Reset(c, 1);
    const double t0 = 4e9;
    ASSERT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0));
    EXPECT_FALSE(SampleClock_LeaveStalled(c, t0 + 0.99));
    EXPECT_TRUE(SampleClock_LeaveStalled(c, t0 + 1.0));
    EXPECT_EQ(c.sampleInProgress, 0);
    EXPECT_EQ(SampleClock_StallDeadline(c), 0.0) << "no sample waits for anybody";
    // A left sample that was never taken note of does not follow into the next one.
    ASSERT_TRUE(SampleClock_MayMeasure(c, 1, kStateRecording, t0 + 2.5));
    LeftSample left;
    EXPECT_FALSE(SampleClock_TakeLeft(c, 1, left));
}
