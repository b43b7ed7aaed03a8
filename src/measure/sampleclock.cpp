#include "measure/sampleclock.h"

#include "measure/receivercontext.h"

namespace {

std::uint32_t Bit(int number) { return 1u << (number - 1); }

enum class Mask { Inactive, Ready, Stored };

void MoveBit(SampleClock& c, int number, Mask to) {
    const std::uint32_t b = Bit(number);
    const std::uint32_t before[3] = {c.maskInactive, c.maskReady, c.maskStored};
    c.maskInactive &= ~b;
    c.maskReady &= ~b;
    c.maskStored &= ~b;
    if (to == Mask::Inactive) c.maskInactive |= b;
    if (to == Mask::Ready) c.maskReady |= b;
    if (to == Mask::Stored) c.maskStored |= b;
    if (before[0] != c.maskInactive || before[1] != c.maskReady || before[2] != c.maskStored) c.revision += 1;
}

}  // namespace

void SampleClock_Reset(SampleClock& c, int threadCount) {
    c = SampleClock{};
    c.maskAll = threadCount >= 32 ? 0xFFFFFFFFu : (1u << threadCount) - 1u;
}

void SampleClock_SetInactive(SampleClock& c, int number) { MoveBit(c, number, Mask::Inactive); }

bool SampleClock_MayMeasure(SampleClock& c, int number, int currentState, double now) {
    if (c.sampleInProgress && (c.maskReady & Bit(number))) {
        if (currentState == kStateMonitoring) {
            MoveBit(c, number, Mask::Inactive);  // monitoring only: takes part in no sample
            return false;
        }
        return true;
    }
    if (!c.sampleInProgress) MoveBit(c, number, Mask::Ready);
    if (currentState == kStateRecording && !c.sampleInProgress && now - c.sampleStart.dateTime > 1.0 &&
        (c.maskReady | c.maskInactive) == c.maskAll) {
        c.sampleInProgress = 1;
        c.maskStored = 0;
        c.revision += 1;
        c.sharedGps = GpsFix{};
        c.sharedGps.speed = -1.0;
        Recording_StampTime(c.sampleStart, now);
        return true;
    }
    return false;
}

bool SampleClock_IsClosed(SampleClock& c, int number, double now) {
    if (!c.sampleInProgress && (c.maskStored & Bit(number))) return true;
    if (c.sampleInProgress) MoveBit(c, number, Mask::Stored);
    if (c.sampleInProgress && (c.maskStored | c.maskInactive) == c.maskAll) {
        c.sampleInProgress = 0;
        c.maskReady = 0;
        c.revision += 1;
        Recording_StampTime(c.sampleEnd, now);
        return true;
    }
    return false;
}
