#pragma once
// Progress on stderr for long work, shown only when stderr is a terminal.
#include <cstdint>
#include <memory>
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

// A sequence of labelled steps ("File 2 of 3", "Step 1 of 2"), each shown
// with its percentage on one line, when stderr is a terminal.
class StepProgress {
public:
    void start(const std::string& label);  // completes the step before
    void update(int percent);
    // Completes the last step, or after a failure ends its line where it stopped.
    void end(bool success);

private:
    std::unique_ptr<Progress> progress_;
};
