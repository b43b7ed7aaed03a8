#pragma once
// The steps of a coverage export or campaign with their percentage on
// stderr, when stderr is a terminal.
#include <string>

#include "coverage/coverage.h"
#include "progress.h"

class CliStepView : public CoverageProgress {
public:
    void showStep(const std::string& label) override { steps_.start(label); }
    void setProgress(int percent) override { steps_.update(percent); }
    void end(bool success) { steps_.end(success); }

private:
    StepProgress steps_;
};
