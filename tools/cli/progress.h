#pragma once
// Progress on stderr for long work, shown only when stderr is a terminal.
#include <cstdint>
#include <string>

class Progress {
public:
    Progress(std::string label, std::int64_t total);
    void update(std::int64_t done);
    void done();

private:
    std::string label_;
    std::int64_t total_;
    bool enabled_;
    int lastPercent_ = -1;
};
