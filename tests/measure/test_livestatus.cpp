#include <gtest/gtest.h>

#include <cstring>

#include "measure/livestatus.h"
#include "platform/text.h"

namespace {

// Runs refreshes of a step that makes no progress; returns the refresh at which the watchdog fired (0: never).
int RefreshesUntilReinit(ReceiverContext& ctx, int limit) {
    for (int i = 1; i <= limit; ++i) {
        ctx.lastPassStep = ctx.step;
        Status_Watchdog(ctx);
        if (ctx.reinitReason[0]) return i;
    }
    return 0;
}

}  // namespace

TEST(LiveStatus, WatchdogTurnsAStuckInitStepIntoAReinitialisation) {
    ReceiverContext ctx;
    ctx.phase = kPhaseInit;
    ctx.step = 7;
    Text_Copy(ctx.stepDescription, "TV analyzer control setup");
    EXPECT_EQ(RefreshesUntilReinit(ctx, 40), 23);
    EXPECT_STREQ(ctx.reinitReason, "TV analyzer control setup -> Timeout");

    ReceiverContext withError;
    withError.phase = kPhaseMeasuring;
    withError.step = 12;
    Text_Copy(withError.stepDescription, "MER RMS [dB]");
    Text_Copy(withError.stepError, "TCP read timeout");
    EXPECT_EQ(RefreshesUntilReinit(withError, 40), 6);
    EXPECT_STREQ(withError.reinitReason, "MER RMS [dB] -> TCP read timeout");
}

TEST(LiveStatus, WatchdogWaitsWhileADeadlineGuardedWaitRuns) {
    ReceiverContext ctx;
    ctx.phase = kPhaseFrequencySetup;
    ctx.step = 9;
    ctx.waitDeadline = 1e10;
    EXPECT_EQ(RefreshesUntilReinit(ctx, 100), 0);
    ctx.waitDeadline = -1.0;
    ctx.resultWaitDeadline = 1e10;
    EXPECT_EQ(RefreshesUntilReinit(ctx, 100), 0);
    ctx.resultWaitDeadline = -1.0;
    EXPECT_EQ(RefreshesUntilReinit(ctx, 100), 1) << "the count went on during the wait";

    ReceiverContext waiting;  // the waiting phases have no limit
    waiting.phase = kPhaseWaiting;
    EXPECT_EQ(RefreshesUntilReinit(waiting, 100), 0);

    // A lost connection is made again for as long as the analyzer stays away;
    // a connection that answers nothing still ends in a re-initialisation.
    ReceiverContext down;
    down.phase = kPhaseMeasuring;
    down.link = LinkState::kDown;
    EXPECT_EQ(RefreshesUntilReinit(down, 100), 0);
    down.link = LinkState::kOutOfStep;
    EXPECT_EQ(RefreshesUntilReinit(down, 100), 1);
}

// The status's second line: what is retried or mended comes first and stays
// for one refresh after it is over, so that a short trouble shows too; then
// the last re-initialisation's reason again.
TEST(LiveStatus, SecondLineShowsTheTroubleThenTheReinitReason) {
    ReceiverContext ctx;
    Text_Copy(ctx.lastReinitReason, "DVB-T mode -> State not acknowledged");
    EXPECT_EQ(Status_SecondLine(ctx), "DVB-T mode -> State not acknowledged");
    Text_Copy(ctx.troubleText, "MER RMS [dB] -> TCP read timeout");
    ctx.troubleActive = true;
    EXPECT_EQ(Status_SecondLine(ctx), "MER RMS [dB] -> TCP read timeout");
    EXPECT_EQ(Status_SecondLine(ctx), "MER RMS [dB] -> TCP read timeout") << "still retried";
    ctx.troubleActive = false;
    EXPECT_EQ(Status_SecondLine(ctx), "MER RMS [dB] -> TCP read timeout") << "shown once more when over";
    EXPECT_EQ(Status_SecondLine(ctx), "DVB-T mode -> State not acknowledged");
}

TEST(LiveStatus, SpinnerAndProgressTexts) {
    ReceiverContext ctx;
    ctx.phase = kPhaseInit;
    ctx.step = 3;
    ctx.stepCount = 88;
    EXPECT_EQ(Status_ProgressText(ctx), "3.4%");
    ctx.step = 0;
    EXPECT_EQ(Status_ProgressText(ctx), "");
    ctx.phase = kPhaseStoring;
    EXPECT_EQ(Status_ProgressText(ctx), "- Done");
    std::string spins;
    for (int i = 0; i < 5; ++i) spins += Status_Spinner(i);
    EXPECT_EQ(spins, "  --  \\  |  /  --");
}

TEST(LiveStatus, PhaseLabelsAndColours) {
    ReceiverContext ctx;
    ctx.phase = kPhaseInit;
    EXPECT_EQ(Status_PhaseLabel(ctx), "Init");
    Text_Copy(ctx.lastReinitReason, "Level -> Timeout");
    EXPECT_EQ(Status_PhaseLabel(ctx), "ReInit");
    EXPECT_EQ(Status_ByParity(Status_PhaseColours(ctx), 3), (RowColour{230, 150, 150}));
    ctx.frequencies.resize(2);
    ctx.frequencies[1].sampleCount = 41;
    ctx.currentFrequency = 2;
    ctx.phase = kPhaseWaiting;
    EXPECT_EQ(Status_PhaseLabel(ctx), "Sample #42: Preparing");
    ctx.phase = kPhaseStoring;
    EXPECT_EQ(Status_PhaseLabel(ctx), "Sample #42: Retrieving");
    EXPECT_EQ(Status_ByParity(Status_PhaseColours(ctx), 2), (RowColour{150, 255, 150}));
    RowColour c{};
    EXPECT_EQ(Status_SyncText(0, 1, c), "No");
    EXPECT_EQ(c, (RowColour{230, 150, 150}));
    EXPECT_EQ(Status_SyncText(-1, 2, c), "---");
    EXPECT_EQ(c, (RowColour{255, 255, 255}));
}
