#include "measure/link.h"

#include <cstring>
#include <string>
#include <vector>

#include "measure/engine.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

constexpr const char* kReadTimeout = "TCP read timeout";
constexpr const char* kReconnect = "TV analyzer reconnect";
constexpr const char* kSetupCheck = "TV analyzer setup check";

// The status's second line while the link is in trouble; the first text of a
// trouble is kept as its cause (the status of a sample the thread leaves).
void ShowTrouble(ReceiverContext& ctx, const char* what, const char* why) {
    Text_FormatInto(ctx.troubleText, sizeof ctx.troubleText, "%s -> %s", what, why);
    if (!ctx.troubleActive) Text_Copy(ctx.troubleCause, Text_View(ctx.troubleText));
    ctx.troubleActive = true;
}

void Answered(ReceiverContext& ctx) {
    ctx.answeredAt = DateTime_Now();
    ctx.troubleActive = false;
}

// A reply is owed for another query than this one: sending now would take
// that reply for this one's.
bool OutOfStep(ReceiverContext& ctx, const char* query) {
    const char* owed = ctx.session.pendingQuery;
    if (!owed[0] || (query && std::strcmp(query, owed) == 0)) return false;
    ctx.link = LinkState::kOutOfStep;
    Text_Copy(ctx.stepError, kReadTimeout);
    ShowTrouble(ctx, ctx.stepDescription, kReadTimeout);
    return true;
}

// A failed exchange: what the session says becomes the step's error, and the
// link's state follows from it. resumed: the query was owed a reply already.
void Failed(ReceiverContext& ctx, bool resumed) {
    Text_Copy(ctx.stepError, Text_View(ctx.session.lastError));
    if (std::strcmp(ctx.session.lastError, kReadTimeout) == 0) {
        // The first time-out leaves the reply owed; the second one loses it.
        if (resumed) ctx.link = LinkState::kOutOfStep;
    } else {
        ctx.link = LinkState::kDown;  // connection loss, or a line the analyzer does not take
    }
    ctx.lostAnswer = ctx.lostAnswer || ctx.link != LinkState::kUp;
    ShowTrouble(ctx, ctx.stepDescription, ctx.stepError);
}

bool Usable(ReceiverContext& ctx) {
    if (ctx.link == LinkState::kUp) return true;
    Text_Copy(ctx.stepError, ctx.link == LinkState::kOutOfStep ? kReadTimeout : "TCP connection loss");
    return false;
}

bool Owes(const ReceiverContext& ctx, const char* query) {
    return ctx.session.pendingQuery[0] && std::strcmp(ctx.session.pendingQuery, query) == 0;
}

}  // namespace

bool Link_Query(ReceiverContext& ctx, const char* query, char* reply, std::size_t replySize) {
    if (!Usable(ctx) || OutOfStep(ctx, query)) return false;
    const bool resumed = Owes(ctx, query);
    if (TcpScpi_Query(ctx.session, query, reply, replySize)) {
        Answered(ctx);
        return true;
    }
    Failed(ctx, resumed);
    return false;
}

bool Link_Write(ReceiverContext& ctx, const char* command) {
    if (!Usable(ctx) || OutOfStep(ctx, nullptr)) return false;
    if (TcpScpi_Write(ctx.session, command)) return true;
    Failed(ctx, false);
    return false;
}

bool Link_SetAndConfirm(ReceiverContext& ctx, bool verify, const char* header, const char* value,
                        const char* expected, bool numeric) {
    // The query TcpScpi_SetAndConfirm sends.
    const std::string h = header ? header : "", v = value ? value : "";
    const std::string query = verify ? h + "?" : h + " " + v + ";*OPC?";
    if (!Usable(ctx) || OutOfStep(ctx, query.c_str())) return false;
    const bool resumed = Owes(ctx, query.c_str());
    int counter = ctx.step;
    const bool ok = TcpScpi_SetAndConfirm(ctx.session, verify, counter, header, value, expected, numeric, ctx.stepError);
    ctx.step = counter;
    if (ok || !ctx.session.lastError[0]) {
        Answered(ctx);  // confirmed, or answered with something else: an answer all the same
        return ok;
    }
    Failed(ctx, resumed);
    return false;
}

bool Link_NeedsRepair(const ReceiverContext& ctx) {
    if (ctx.link == LinkState::kUp) return false;
    // The Init phase opens its own session in step 1; Storing needs no analyzer.
    return !(ctx.phase == kPhaseInit && ctx.step <= 1) && ctx.phase != kPhaseStoring;
}

void Link_Reset(ReceiverContext& ctx) {
    ctx.link = LinkState::kUp;
    ctx.checkItem = 0;
    ctx.troubleActive = false;
}

void Link_Repair(DriveTestState& dt, ReceiverContext& ctx) {
    if (ctx.link == LinkState::kDown && ctx.phase == kPhaseInit) {
        ctx.step = 1;  // the preparation is under way anyway: it starts again with the connection
        Link_Reset(ctx);
        return;
    }
    if (ctx.link == LinkState::kOutOfStep || ctx.link == LinkState::kDown) {
        const bool lost = ctx.link == LinkState::kDown;
        if (TcpScpi_Open(ctx.session, ctx.analyzer.address, ctx.analyzer.family.scpiPort, dt.sessionTimeoutMs)) {
            ctx.link = lost ? LinkState::kChecking : LinkState::kUp;
            ctx.checkItem = 0;
            return;
        }
        // No answer: the analyzer may have lost power, so its setup is read back once it is back.
        ctx.link = LinkState::kDown;
        ctx.lostAnswer = true;
        ShowTrouble(ctx, kReconnect, ctx.session.lastError);
        if (ctx.phase != kPhaseMeasuring) {
            std::lock_guard<std::mutex> lock(dt.lock);
            const std::uint32_t revision = dt.clock.revision;
            SampleClock_SetInactive(dt.clock, ctx.number);
            if (dt.clock.revision != revision) dt.changed.notify_all();
        }
        return;
    }
    const std::vector<SetupCheck> checks = Engine_SetupChecks(ctx);
    if (ctx.checkItem >= static_cast<int>(checks.size())) {
        Link_Reset(ctx);
        return;
    }
    const SetupCheck& c = checks[static_cast<std::size_t>(ctx.checkItem)];
    const std::string query = std::string(c.header) + "?";
    const bool resumed = Owes(ctx, query.c_str());
    int counter = 0;
    char error[100];
    if (TcpScpi_SetAndConfirm(ctx.session, true, counter, c.header, c.value, c.expected, c.numeric, error)) {
        ctx.answeredAt = DateTime_Now();
        ctx.checkItem += 1;
        ShowTrouble(ctx, kSetupCheck, c.description);
    } else if (!ctx.session.lastError[0]) {
        // The analyzer answers, but no longer holds what the preparation set.
        Answered(ctx);
        Link_Reset(ctx);
        Text_FormatInto(ctx.reinitReason, sizeof ctx.reinitReason, "%s -> %s", c.description, error);
    } else if (resumed || std::strcmp(ctx.session.lastError, kReadTimeout) != 0) {
        ctx.link = LinkState::kDown;  // the check starts again on a new connection
        ShowTrouble(ctx, kSetupCheck, ctx.session.lastError);
    }
}
