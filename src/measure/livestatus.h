#pragma once
// The texts and colours of the live status, and the step watchdog.
#include <string>

#include "measure/drivetestview.h"
#include "measure/receivercontext.h"

namespace statuscolours {
// Even rows take the first colour, odd rows the second.
constexpr RowColour kPlain[2] = {{255, 255, 255}, {230, 230, 230}};
constexpr RowColour kInit[2] = {{255, 255, 150}, {230, 230, 150}};
constexpr RowColour kReInit[2] = {{255, 150, 150}, {230, 150, 150}};
constexpr RowColour kSample[2] = {{150, 255, 150}, {150, 230, 150}};
constexpr RowColour kSyncNo[2] = {{255, 150, 150}, {230, 150, 150}};
constexpr RowColour kSyncYes[2] = {{150, 255, 150}, {150, 230, 150}};
constexpr RowColour kGpsOk{150, 255, 150};
constexpr RowColour kGpsNone{255, 150, 150};
constexpr RowColour kGpsUnknown{234, 234, 234};
}  // namespace statuscolours

inline RowColour Status_ByParity(const RowColour* pair, int row) { return pair[((row % 2) + 2) % 2]; }

// The progress text of a phase: "- Done" in phases 3 and 5, "" before step 1, else "%.1lf%%".
std::string Status_ProgressText(const ReceiverContext& ctx);
// The spinner appended while a step makes no progress, cycling with stuckCount.
const char* Status_Spinner(int stuckCount);
// The phase label ("Init", "ReInit", "Sample #%d: Preparing", ...).
std::string Status_PhaseLabel(const ReceiverContext& ctx);
const RowColour* Status_PhaseColours(const ReceiverContext& ctx);
// The watchdog: counts a refresh without progress and sets reinitReason when a
// step stays stuck too long outside the deadline-guarded waits. Returns the spinner text added.
std::string Status_Watchdog(ReceiverContext& ctx);
// The status cell's second line: what the thread is retrying or mending
// (kept for one refresh after it is over), else the last re-initialisation's
// reason; empty when neither.
std::string Status_SecondLine(ReceiverContext& ctx);
// "Yes", "No" or "---" and its colour for a sync state 1, 0 or -1.
std::string Status_SyncText(int sync, int row, RowColour& colour);
