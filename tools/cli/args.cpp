#include "args.h"

#include <unistd.h>

#include <cstdio>

#include "platform/text.h"

CliArgs::CliArgs(int argc, char** argv, std::set<std::string> valueOptions, std::set<std::string> flagOptions) {
    bool optionsDone = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        // The short forms of the two options every command spells alike.
        if (!optionsDone && a == "-o" && valueOptions.count("out")) a = "--out";
        if (!optionsDone && a == "-h" && flagOptions.count("help")) a = "--help";
        if (optionsDone || a.size() < 3 || a.compare(0, 2, "--") != 0) {
            if (a == "--") {
                optionsDone = true;
                continue;
            }
            positional_.push_back(a);
            continue;
        }
        std::string name = a.substr(2), value;
        bool inlineValue = false;
        if (auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (flagOptions.count(name)) {
            if (inlineValue) {
                error_ = "option --" + name + " takes no value";
                return;
            }
            values_.emplace(name, "1");
        } else if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= argc) {
                    error_ = "option --" + name + " needs a value";
                    return;
                }
                value = argv[++i];
            }
            values_.emplace(name, value);
        } else {
            error_ = "unknown option --" + name;
            return;
        }
    }
}

std::string CliArgs::get(const std::string& name, const std::string& fallback) const {
    auto range = values_.equal_range(name);
    if (range.first == range.second) return fallback;
    auto last = range.second;
    --last;
    return last->second;
}

std::vector<std::string> CliArgs::all(const std::string& name) const {
    std::vector<std::string> out;
    auto range = values_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
    return out;
}

double CliArgs::number(const std::string& name, double fallback) {
    if (!has(name)) return fallback;
    double v = 0.0;
    if (!Text_ParseDouble(get(name), v)) {
        if (error_.empty()) error_ = "option --" + name + ": not a number: " + get(name);
        return fallback;
    }
    return v;
}

long long CliArgs::integer(const std::string& name, long long fallback) {
    if (!has(name)) return fallback;
    long long v = 0;
    if (!Text_ParseInt(get(name), v)) {
        if (error_.empty()) error_ = "option --" + name + ": not an integer: " + get(name);
        return fallback;
    }
    return v;
}

namespace {

// "N=VALUE" with N a 1-based file number.
bool ParseFileNumber(const std::string& text, std::size_t files, std::size_t& file, double& value) {
    const auto eq = text.find('=');
    long long n = 0;
    if (eq == std::string::npos || !Text_ParseInt(text.substr(0, eq), n) || n < 1 ||
        n > static_cast<long long>(files) || !Text_ParseDouble(text.substr(eq + 1), value))
        return false;
    file = static_cast<std::size_t>(n - 1);
    return true;
}

}  // namespace

int Cli_ReadManualLevels(const char* command, const CliArgs& args, std::size_t files,
                         std::vector<KmzLevelManualInput>& manual) {
    manual.assign(files, KmzLevelManualInput{});
    for (const auto& text : args.all("manual-kfactor")) {
        std::size_t file = 0;
        double value = 0.0;
        if (!ParseFileNumber(text, files, file, value))
            return Cli_Usage(command, "--manual-kfactor must be N=K with N a file number from 1");
        manual[file].kFactor = value;
    }
    for (const auto& text : args.all("level-offset")) {
        std::size_t file = 0;
        double value = 0.0;
        if (!ParseFileNumber(text, files, file, value))
            return Cli_Usage(command, "--level-offset must be N=DB with N a file number from 1");
        manual[file].offset = value;
    }
    return 0;
}

int Cli_Usage(const char* command, const std::string& message) {
    std::fprintf(stderr, "fieldtrace-cli %s: %s\n", command, message.c_str());
    return 2;
}

bool Cli_ProgressWanted() {
    return isatty(STDERR_FILENO) == 1;
}
