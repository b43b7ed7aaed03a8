#include "args.h"

#include <unistd.h>

#include <cstdio>

#include "platform/text.h"

CliArgs::CliArgs(int argc, char** argv, std::set<std::string> valueOptions, std::set<std::string> flagOptions) {
    bool optionsDone = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
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

int Cli_Usage(const char* command, const std::string& message) {
    std::fprintf(stderr, "fieldtrace-cli %s: %s\n", command, message.c_str());
    return 2;
}

bool Cli_ProgressWanted() {
    return isatty(STDERR_FILENO) == 1;
}
