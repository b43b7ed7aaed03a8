// The measurement thread's link: a late reply is collected by the query it
// belongs to and never by another; a lost one costs a new connection, not
// the analyzer's preparation.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/test_tcpscpi_peer.h"
#include "measure/engine.h"
#include "measure/link.h"
#include "platform/text.h"

namespace {

constexpr int kTimeoutMs = 200;

// An analyzer on 127.0.0.1 that answers each query line "Q" with "A:Q" (or
// the reply its row gives), each
// occurrence of a query as late as its row says (-1: never), and takes one
// connection after the other, as the analyzers do. A reply whose connection
// has gone meanwhile is lost with it.
class LaggingPeer {
public:
    explicit LaggingPeer(std::map<std::string, std::vector<int>> delays, std::map<std::string, std::string> replies = {})
        : delays_(std::move(delays)), replies_(std::move(replies)) {
        listener_ = LoopbackListener(port_);
        if (listener_ < 0) return;
        thread_ = std::thread([this] { Serve(); });
    }
    ~LaggingPeer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) close(listener_);
    }
    int port() const { return port_; }
    // The lines received, per connection.
    std::vector<std::vector<std::string>> Connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return connections_;
    }

private:
    void Serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                connections_.emplace_back();
            }
            Talk(fd);
            close(fd);
        }
    }
    // Waits before a late reply; false when the other side closed meanwhile.
    static bool Linger(int fd, std::string& buffer, int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return true;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[512];
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // One connection until the other side closes it.
    void Talk(int fd) {
        std::string buffer;
        while (!stop_) {
            const auto lf = buffer.find('\n');
            if (lf == std::string::npos) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0) continue;
                char chunk[512];
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) return;
                buffer.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            const std::string line = buffer.substr(0, lf);
            buffer.erase(0, lf + 1);
            int delay;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                connections_.back().push_back(line);
                const std::size_t seen = asked_[line]++;
                const auto& d = delays_[line];
                delay = seen < d.size() ? d[seen] : 0;
            }
            if (delay < 0) continue;
            if (!Linger(fd, buffer, delay)) return;
            const auto fixed = replies_.find(line);
            const std::string reply = (fixed != replies_.end() ? fixed->second : "A:" + line) + "\n";
            if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) <= 0) return;
        }
    }

    std::map<std::string, std::vector<int>> delays_;
    std::map<std::string, std::string> replies_;
    std::map<std::string, std::size_t> asked_;
    std::vector<std::vector<std::string>> connections_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

struct Fixture {
    DriveTestState dt;
    ReceiverContext ctx;
    explicit Fixture(int port) {
        dt.sessionTimeoutMs = kTimeoutMs;
        SampleClock_Reset(dt.clock, 1);
        ctx.number = 1;
        ctx.phase = kPhaseMeasuring;
        Text_Copy(ctx.analyzer.address, "127.0.0.1");
        ctx.analyzer.family.scpiPort = port;
        TcpScpi_Open(ctx.session, "127.0.0.1", port, kTimeoutMs);
    }
    ~Fixture() { TcpScpi_Disconnect(ctx.session); }

    // Asks as a step does: again on every pass until answered (at most
    // `passes` passes), the link mended in passes of its own. "" when unanswered.
    std::string Ask(const std::string& query, int passes) {
        for (int pass = 0; pass < passes; ++pass) {
            if (Link_NeedsRepair(ctx)) {
                Link_Repair(dt, ctx);
                continue;
            }
            char reply[100];
            if (Link_Query(ctx, query.c_str(), reply, sizeof reply)) return reply;
        }
        return "";
    }
};

}  // namespace

TEST(Link, EveryReplyBelongsToItsQuery) {
    struct Ask {
        const char* query;
        int passes;
        const char* reply;  // "" when it must stay unanswered
    };
    struct Row {
        const char* name;
        std::map<std::string, std::vector<int>> delays;
        std::vector<Ask> asks;
        std::size_t connections;
    };
    const Row rows[] = {
        {"a late reply is collected by the next attempt of its query",
         {{"Q1?", {300}}},
         {{"Q1?", 6, "A:Q1?"}, {"Q2?", 6, "A:Q2?"}},
         1},
        {"a reply later than two time-outs is lost: the query goes out again on a new connection",
         {{"Q1?", {900}}},
         {{"Q1?", 6, "A:Q1?"}, {"Q2?", 6, "A:Q2?"}},
         2},
        {"a reply that never comes",
         {{"Q1?", {-1}}},
         {{"Q1?", 6, "A:Q1?"}, {"Q2?", 6, "A:Q2?"}},
         2},
        {"another query while a reply is owed goes out on a new connection",
         {{"Q1?", {300}}},
         {{"Q1?", 1, ""}, {"Q2?", 6, "A:Q2?"}, {"Q1?", 6, "A:Q1?"}},
         2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LaggingPeer peer(r.delays);
        Fixture f(peer.port());
        for (const Ask& a : r.asks) EXPECT_EQ(f.Ask(a.query, a.passes), a.reply) << a.query;
        EXPECT_EQ(f.ctx.link, LinkState::kUp);
        EXPECT_STREQ(f.ctx.reinitReason, "") << "a lost reply never costs the preparation";
        EXPECT_EQ(peer.Connections().size(), r.connections);
    }
}

// A live-status query that gets no answer used to re-initialise the analyzer
// at once; now the link asks again, then on a new connection.
TEST(Link, UnansweredLiveQueryIsAskedAgainWithoutReinitialisation) {
    LaggingPeer peer({{"MEAS:LEV?", {-1, -1, 0}}}, {{"MEAS:LEV?", "-47.5"}});
    Fixture f(peer.port());
    f.ctx.phase = kPhaseWaiting;
    f.ctx.currentState = kStateMonitoring;
    f.ctx.levelSlot = 0;
    Text_Copy(f.ctx.levelQuery, "MEAS:LEV?");
    for (int pass = 0; pass < 8 && f.ctx.liveLevelValid == 0; ++pass) {
        if (Link_NeedsRepair(f.ctx))
            Link_Repair(f.dt, f.ctx);
        else
            Engine_LiveQuery(f.dt, f.ctx);
        EXPECT_STREQ(f.ctx.reinitReason, "");
    }
    EXPECT_EQ(f.ctx.liveLevelValid, 1);
    EXPECT_DOUBLE_EQ(f.ctx.liveLevel, -47.5);
    const auto connections = peer.Connections();
    ASSERT_EQ(connections.size(), 3u) << "the first never answered, nor the second: a third connection";
    EXPECT_EQ(connections[0], std::vector<std::string>{"MEAS:LEV?"}) << "asked once, awaited twice";
}
