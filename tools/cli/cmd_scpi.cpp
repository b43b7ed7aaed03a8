// fieldtrace-cli scpi ADDRESS[:PORT] COMMAND...: sends commands and queries to
// an analyzer through the same SCPI session the measurement threads use, and
// prints the replies of the queries, one line each.
#include <arpa/inet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "instrument/tcpscpi.h"
#include "platform/text.h"

namespace {

constexpr int kDefaultPort = 5025;
constexpr int kDefaultTimeoutMs = 1000;

const char* kHelp =
    "usage: fieldtrace-cli scpi [--timeout-ms MS] ADDRESS[:PORT] COMMAND...\n"
    "Connects to the analyzer at the dotted IPv4 ADDRESS (port 5025 unless given)\n"
    "and sends each COMMAND as one line, in order. A command that contains '?' is a\n"
    "query: its reply line is printed on stdout. Every wait (ping, connect, write,\n"
    "reply) is bounded by --timeout-ms (default 1000). On a failure the session's\n"
    "error text is printed on stderr and the exit status is 1; a bad command line\n"
    "exits with status 2. Put '--' before commands that begin with '--'.\n"
    "\n"
    "example: fieldtrace-cli scpi 127.0.0.1 '*IDN?' 'FREQ 474 MHz' 'FREQ?'\n";

// "A.B.C.D" or "A.B.C.D:PORT".
bool ParseTarget(const std::string& text, std::string& address, int& port, std::string& error) {
    const auto colon = text.find(':');
    address = text.substr(0, colon);
    port = kDefaultPort;
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        error = "'" + address + "' is not a dotted IPv4 address";
        return false;
    }
    if (colon == std::string::npos) return true;
    long long value = 0;
    if (!Text_ParseInt(text.substr(colon + 1), value) || value < 1 || value > 65535) {
        error = "port must be 1 to 65535: '" + text.substr(colon + 1) + "'";
        return false;
    }
    port = static_cast<int>(value);
    return true;
}

}  // namespace

int Cli_Scpi(int argc, char** argv) {
    CliArgs args(argc, argv, {"timeout-ms"}, {"help"});
    if (!args.ok()) return Cli_Usage("scpi", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    const long long timeoutMs = args.integer("timeout-ms", kDefaultTimeoutMs);
    if (!args.ok()) return Cli_Usage("scpi", args.error());
    if (timeoutMs < 1 || timeoutMs > 3600000) return Cli_Usage("scpi", "--timeout-ms must be 1 to 3600000");
    const std::vector<std::string>& positional = args.positional();
    if (positional.size() < 2) return Cli_Usage("scpi", "expected ADDRESS[:PORT] and at least one command");
    std::string address, error;
    int port = 0;
    if (!ParseTarget(positional[0], address, port, error)) return Cli_Usage("scpi", error);

    ScpiSession session;
    if (!TcpScpi_Open(session, address.c_str(), port, static_cast<int>(timeoutMs))) {
        std::fprintf(stderr, "fieldtrace-cli scpi: %s:%d: %s\n", address.c_str(), port, session.lastError);
        return 1;
    }
    int status = 0;
    char reply[kScpiRxBufferBytes + 1];
    for (std::size_t i = 1; i < positional.size() && status == 0; ++i) {
        // Command lines travel as Latin-1, as the analyzers expect; the terminal speaks UTF-8.
        const std::string command = Text_Utf8ToLatin1(positional[i]);
        const bool isQuery = command.find('?') != std::string::npos;
        const bool ok = isQuery ? TcpScpi_Query(session, command.c_str(), reply, sizeof reply)
                                : TcpScpi_Write(session, command.c_str());
        if (!ok) {
            std::fprintf(stderr, "fieldtrace-cli scpi: %s: %s\n", positional[i].c_str(), session.lastError);
            status = 1;
        } else if (isQuery) {
            std::printf("%s\n", Text_Latin1ToUtf8(reply).c_str());
            std::fflush(stdout);
        }
    }
    TcpScpi_Disconnect(session);
    // The commands are done; a peer slow to close the connection only earns a warning.
    if (status == 0 && session.lastError[0])
        std::fprintf(stderr, "fieldtrace-cli scpi: warning: %s\n", session.lastError);
    return status;
}
