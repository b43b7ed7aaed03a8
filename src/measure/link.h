#pragma once
// The measurement thread's link to its analyzer. Every exchange of the thread
// goes through here, so that a failure is judged in one place:
// - A reply that misses the session time-out fails the step at once. The
//   step's next attempt asks the same query and collects the reply if it
//   comes late (a slow analyzer still gets through); when it misses that
//   time-out too, the reply counts as lost.
// - A lost reply, or anything else to send while a reply is still owed, puts
//   the connection out of step: a reply that arrives late would be taken for
//   the reply of the next query. The connection is given up and a new one
//   made before the next exchange; nothing sent on the old connection can
//   arrive on the new one. (A fence with "*OPC?" cannot tell its "1" from the
//   late "1" of a confirmed setting, no marker query with a reply of its own
//   exists in every family's commands, and a drain cannot know whether a
//   reply is still on its way. A new connection costs a ping and a handshake,
//   a millisecond or two on the car's network, and the analyzer keeps its
//   settings across connections.)
// - A lost connection is made again as soon as the analyzer answers ping and
//   connect (with the session time-out); its setup is then read back, item by
//   item, and only when an item no longer holds (the analyzer lost power, say)
//   is it prepared again from the start.
#include <cstddef>

#include "measure/receivercontext.h"

struct DriveTestState;

// One query; the reply without its line feed. On failure stepError holds the
// session's error (a late reply is still owed after a first time-out).
bool Link_Query(ReceiverContext& ctx, const char* query, char* reply, std::size_t replySize);
// One command line without reply.
bool Link_Write(ReceiverContext& ctx, const char* command);
// One setup item in set or check form (TcpScpi_SetAndConfirm); ctx.step
// advances on success, stepError says why not.
bool Link_SetAndConfirm(ReceiverContext& ctx, bool verify, const char* header, const char* value,
                        const char* expected, bool numeric);

// True when the link must be mended before the thread's phase may exchange
// anything: the pass goes to Link_Repair instead.
bool Link_NeedsRepair(const ReceiverContext& ctx);
// One pass of mending: one connection attempt, or one setup item read back.
// A thread that is not reading a sample holds no sample up meanwhile (its bit
// goes where a re-initialising thread's goes). When a setup item no longer
// holds, reinitReason is set: the analyzer is prepared again from the start.
void Link_Repair(DriveTestState& dt, ReceiverContext& ctx);
// Forgets every trouble: after the Init phase opened a fresh session.
void Link_Reset(ReceiverContext& ctx);
