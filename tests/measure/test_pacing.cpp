// How long a measurement thread waits between passes: never a spin, a retry
// after 100 ms, and in the waiting phases until the clock can move.
#include <gtest/gtest.h>

#include <cstdio>

#include "instrument/receiverinfo.h"
#include "measure/engine.h"
#include "measure/pacing.h"
#include "platform/datetime.h"
#include "instrument/test_tcpscpi_peer.h"

namespace {

constexpr double kNow = 4e9;

struct Situation {
    const char* name;
    int phase;
    int state;
    bool progressed;
    std::uint32_t ready;      // the clock's masks for three threads; this thread is number 1
    int sampleInProgress;
    double sinceSampleStart;  // seconds since the previous sample started
    double sinceStatus;       // seconds since the last status refresh
    bool liveLevelDue;
    PauseKind kind;
    double waitSeconds;       // until - now
};

}  // namespace

TEST(Pacing, PauseAfterAPass) {
    const double slack = kDeadlineSlackSeconds;
    const Situation cases[] = {
        {"progress goes straight on", kPhaseMeasuring, kStateRecording, true, 1, 1, 0.2, 0.2, false, PauseKind::kNone, 0.0},
        {"a failed step is retried after 100 ms", kPhaseMeasuring, kStateRecording, false, 1, 1, 0.2, 0.2, false,
         PauseKind::kRetry, 0.1},
        {"an idle prepared thread waits 100 ms", kPhaseFrequencySetup, kStateIdle, false, 0, 0, 5.0, 0.2, false,
         PauseKind::kRetry, 0.1},
        {"everybody ready: until 1.0 s after the previous start", kPhaseWaiting, kStateRecording, false, 7, 0, 0.3, 0.1,
         false, PauseKind::kClock, 0.7 + slack},
        {"the status comes due before the gap ends", kPhaseWaiting, kStateRecording, false, 7, 0, 0.05, 0.5, false,
         PauseKind::kClock, 0.5 + slack},
        {"another thread still busy: the clock, or the status", kPhaseWaiting, kStateRecording, false, 3, 0, 0.3, 0.1,
         false, PauseKind::kClock, 0.9 + slack},
        {"paused: no sample starts, so no gap to wait for", kPhaseWaiting, kStatePaused, false, 7, 0, 0.3, 0.1, false,
         PauseKind::kClock, 0.9 + slack},
        {"monitoring with a live query to make", kPhaseWaiting, kStateMonitoring, false, 7, 0, 0.3, 0.1, true,
         PauseKind::kRetry, kLivePauseSeconds},
        {"monitoring with fresh live values", kPhaseWaiting, kStateMonitoring, false, 7, 0, 0.3, 0.1, false,
         PauseKind::kClock, 0.9 + slack},
        {"storing: until the others have read the sample", kPhaseStoring, kStateRecording, false, 7, 1, 0.3, 0.1, false,
         PauseKind::kClock, 0.9 + slack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReceiverContext ctx;
        ctx.number = 1;
        ctx.phase = c.phase;
        ctx.currentState = c.state;
        ctx.lastStatusTime = kNow - c.sinceStatus;
        ctx.levelSlot = c.liveLevelDue ? 0 : -1;
        SampleClock clock;
        SampleClock_Reset(clock, 3);
        clock.maskReady = c.ready;
        clock.sampleInProgress = c.sampleInProgress;
        clock.sampleStart.dateTime = kNow - c.sinceSampleStart;
        // The other analyzers answer all along: nobody is about to be left behind.
        clock.lastStoredAt = kNow;
        for (double& t : clock.answeredAt) t = kNow;
        const PassPause pause = Pacing_AfterPass(ctx, clock, c.progressed, kNow);
        EXPECT_EQ(pause.kind, c.kind);
        if (c.kind != PauseKind::kNone) {
            EXPECT_NEAR(pause.until - kNow, c.waitSeconds, 1e-6);
        }
    }
}

// An idle prepared thread sits in step 0 of the FrequencySetup phase until
// monitoring starts. That step is no progress: the thread sleeps between its
// passes instead of spinning at a whole core.
TEST(Pacing, IdlePreparedThreadSleepsBetweenPasses) {
    ReceiverInfo_Init();
    const AnalyzerFamily& alvra = ReceiverInfo_Families().front();
    DriveTestState dt;
    SampleClock_Reset(dt.clock, 1);
    ReceiverContext ctx;
    ctx.number = 1;
    ReceiverInfo_CopyFamily(ctx.analyzer.family, alvra);
    ctx.analyzer.standardIndex = 1;
    ctx.phase = kPhaseFrequencySetup;
    ctx.step = 0;
    ctx.currentState = kStateIdle;
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        const int phase = ctx.phase, step = ctx.step;
        Engine_FrequencySetupPhase(dt, ctx);
        const bool progressed = ctx.phase != phase || ctx.step != step;
        EXPECT_FALSE(progressed);
        EXPECT_EQ(ctx.lastPassStep, -1) << "the watchdog must not count the idle wait as a stuck step";
        const PassPause pause = Pacing_AfterPass(ctx, dt.clock, progressed, kNow);
        EXPECT_EQ(pause.kind, PauseKind::kRetry);
        EXPECT_NEAR(pause.until - kNow, kRetryPauseSeconds, 1e-6);
    }
}

// An analyzer without signal answers the live level query with the invalid
// marker. The thread asks again only after a while, not on every 1 ms pass,
// and takes a usable answer as soon as one comes.
TEST(Pacing, UnusableLiveAnswerIsAskedAgainAfterAWhile) {
    int asked = 0;
    ScriptedPeer peer(Responder([&](const std::string&) { return ++asked == 1 ? std::string("99.1e+36") : "-47.5"; }));
    DriveTestState dt;
    SampleClock_Reset(dt.clock, 1);
    ReceiverContext ctx;
    ctx.number = 1;
    ctx.phase = kPhaseWaiting;
    ctx.currentState = kStateMonitoring;
    ctx.levelSlot = 0;
    std::snprintf(ctx.levelQuery, sizeof ctx.levelQuery, "MEAS:LEV?");
    ASSERT_TRUE(TcpScpi_Open(ctx.session, "127.0.0.1", peer.port(), 2000)) << ctx.session.lastError;

    const double now = DateTime_Now();
    ASSERT_TRUE(Engine_LiveQueryDue(ctx, now));
    Engine_LiveQuery(dt, ctx);
    EXPECT_EQ(ctx.liveLevelValid, 0);
    EXPECT_STREQ(ctx.reinitReason, "") << "an invalid answer is an answer, not a time-out";
    EXPECT_FALSE(Engine_LiveQueryDue(ctx, now));
    EXPECT_TRUE(Engine_LiveQueryDue(ctx, now + kLiveRetrySeconds + 0.05));
    ctx.lastStatusTime = now;
    const PassPause pause = Pacing_AfterPass(ctx, dt.clock, false, now);
    EXPECT_EQ(pause.kind, PauseKind::kClock);
    EXPECT_NEAR(pause.until - now, kLiveRetrySeconds, 0.05);

    Engine_LiveQuery(dt, ctx);  // asked again once the wait is over
    EXPECT_EQ(ctx.liveLevelValid, 1);
    EXPECT_DOUBLE_EQ(ctx.liveLevel, -47.5);
    TcpScpi_Disconnect(ctx.session);
    EXPECT_EQ(peer.Finish(), (std::vector<std::string>{"MEAS:LEV?", "MEAS:LEV?"}));
}

// A connection to mend is tried again after 100 ms whatever the phase (the
// waiting phase would otherwise sleep until the next status refresh), and a
// thread that has stored its sample wakes when a silent one may be left
// behind, so that the next sample need not wait for a status refresh.
TEST(Pacing, MendingAndStalledSamplesWakeTheThread) {
    struct Row {
        const char* name;
        int phase;
        LinkState link;
        double lastAnswerAgo;  // of the thread still reading the sample (thread 2)
        PauseKind kind;
        double waitSeconds;
    };
    const Row rows[] = {
        {"waiting, connection down", kPhaseWaiting, LinkState::kDown, 0.0, PauseKind::kRetry, kRetryPauseSeconds},
        {"measuring, reply lost", kPhaseMeasuring, LinkState::kOutOfStep, 0.0, PauseKind::kRetry, kRetryPauseSeconds},
        {"stored; the other answered 0.3 s ago", kPhaseStoring, LinkState::kUp, 0.3, PauseKind::kClock,
         kStallSeconds - 0.3 + kDeadlineSlackSeconds},
        {"stored 0.5 s ago; the other has been silent for longer: a second after the store", kPhaseStoring,
         LinkState::kUp, 1.5, PauseKind::kClock, kStallSeconds - 0.5 + kDeadlineSlackSeconds},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ReceiverContext ctx;
        ctx.number = 1;
        ctx.phase = r.phase;
        ctx.currentState = kStateRecording;
        ctx.link = r.link;
        ctx.lastStatusTime = kNow - 0.1;
        SampleClock clock;
        SampleClock_Reset(clock, 2);
        clock.sampleInProgress = 1;
        clock.maskStored = 1;
        clock.maskReady = 2;
        clock.lastStoredAt = kNow - 0.5;
        clock.answeredAt[1] = kNow - r.lastAnswerAgo;
        const PassPause pause = Pacing_AfterPass(ctx, clock, false, kNow);
        EXPECT_EQ(pause.kind, r.kind);
        EXPECT_NEAR(pause.until - kNow, r.waitSeconds, 1e-6);
    }
}
