#pragma once
// How long a measurement thread waits after a pass of its loop. A pass that
// moved the step machine on (phase or step changed) goes straight on. A pass
// that did not waits: 100 ms before a step is tried again; in the Waiting
// and Storing phases until the sample clock moves, the status is due or the
// 1.0 s gap to the previous sample has passed, or a thread that stalls in the
// sample may be left behind; 1 ms while a live-status query is still to be
// made, 100 ms after a live answer that was unusable. A connection to be
// mended is tried again after 100 ms. Every wait ends early when the
// thread's command changes (a request), and the waits on the clock also when
// the clock changes.
#include "measure/receivercontext.h"
#include "measure/sampleclock.h"

enum class PauseKind {
    kNone,   // the next pass follows at once
    kRetry,  // a step is tried again; only a request ends the wait early
    kClock,  // waiting for the sample clock; its changes end the wait early too
};

struct PassPause {
    PauseKind kind = PauseKind::kNone;
    double until = 0.0;  // date-time value at which the wait ends at the latest
};

// Seconds a pass without progress waits before the step is tried again.
constexpr double kRetryPauseSeconds = 0.1;
// Seconds between live-status queries while waiting for a sample.
constexpr double kLivePauseSeconds = 0.001;
// A wait on a time stamp ends this much after it, so that "more than 1.0 s
// since" holds when the thread wakes.
constexpr double kDeadlineSlackSeconds = 0.0002;

// The pause after a pass. progressed: the pass changed phase or step. Called
// under the drive-test lock (it reads the sample clock).
PassPause Pacing_AfterPass(const ReceiverContext& ctx, const SampleClock& clock, bool progressed, double now);
