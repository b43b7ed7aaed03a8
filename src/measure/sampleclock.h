#pragma once
// The barrier that makes every analyzer measure the same sample: a sample
// starts only when every thread is ready (or inactive) and at most once a
// second, and closes only when every thread has read its values. A thread
// whose analyzer stops answering in the middle of a sample leaves it about a
// second after the others are done (see SampleClock_LeaveStalled), so that it
// holds nobody up for longer. All functions are called under the drive-test
// lock.
#include <cstdint>

#include "records/recordtypes.h"

constexpr int kSampleClockThreads = 32;
// A thread still reading a sample leaves it this long after the others
// finished it, when its analyzer has not answered for this long either or
// has lost a reply or the connection during the sample.
constexpr double kStallSeconds = 1.0;

// The times and position of a sample that a thread left before it had read it.
struct LeftSample {
    DtrTime start{};
    DtrTime end{};
    GpsFix gps{};
};

struct SampleClock {
    std::int32_t sampleInProgress = 0;
    std::uint32_t maskAll = 0;
    std::uint32_t maskInactive = 0;
    std::uint32_t maskReady = 0;
    std::uint32_t maskStored = 0;
    DtrTime sampleStart{};
    DtrTime sampleEnd{};
    GpsFix sharedGps{};
    std::uint32_t revision = 0;      // counts the changes of the masks and of the sample in progress
    std::uint32_t sampleNumber = 0;  // counts the samples started
    double lastStoredAt = 0.0;       // when a thread last finished reading the current sample (its start before)
    double answeredAt[kSampleClockThreads] = {};  // per thread: its analyzer's last answer, or its step's last move
    std::uint32_t maskTrouble = 0;   // threads that lost a reply or the connection in the current sample
    std::uint32_t maskLeft = 0;      // threads that left a sample and have not taken note yet
    LeftSample left[kSampleClockThreads];
};

void SampleClock_Reset(SampleClock& clock, int threadCount);
// Every call that changes the masks or starts or closes a sample increments
// revision, so that callers wake the other threads only on a real change.
// Moves the thread's bit into one mask and out of the two others.
void SampleClock_SetInactive(SampleClock& clock, int number);
// Phase 3: may this thread measure? currentState is the thread's state; now the date-time value.
bool SampleClock_MayMeasure(SampleClock& clock, int number, int currentState, double now);
// Phase 5: is the sample this thread measured closed?
bool SampleClock_IsClosed(SampleClock& clock, int number, double now);

// After every pass of a thread: the last time its analyzer answered or its step moved on.
void SampleClock_Answered(SampleClock& clock, int number, double at);
// A thread's analyzer lost a reply or the connection: until the sample ends
// the thread counts as in trouble, however it answers meanwhile.
void SampleClock_Trouble(SampleClock& clock, int number);
// When the last thread that finished the current sample did so kStallSeconds
// ago (or the sample started then), and every thread still reading it is in
// trouble or has had no answer for kStallSeconds, those threads leave it:
// their bits go where a re-initialising thread's go, the sample closes, and
// each of them finds its times with SampleClock_TakeLeft. True when threads
// left. A slow analyzer that answers everything still paces the lock-step.
bool SampleClock_LeaveStalled(SampleClock& clock, double now);
// The earliest time at which SampleClock_LeaveStalled may act on the current
// sample; 0 when no sample waits for a thread that is still reading it.
double SampleClock_StallDeadline(const SampleClock& clock);
// True once for a thread that left a sample, with the sample's times and position.
bool SampleClock_TakeLeft(SampleClock& clock, int number, LeftSample& left);
