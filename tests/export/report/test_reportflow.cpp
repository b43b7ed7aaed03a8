// The flow of a report's blocks onto pages: nothing cut, headings kept with
// what follows, a table's titles repeated above rows that open a page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/report/reportflow.h"

namespace {

// "block@page:top" for every place, to compare whole layouts at once.
std::string Layout(const std::vector<FlowBlock>& blocks, double top = 10, double bottom = 100) {
    std::string s;
    for (const FlowPlace& p : ReportFlow_Paginate(blocks, top, bottom)) {
        if (!s.empty()) s += " ";
        s += std::to_string(p.block) + "@" + std::to_string(p.page) + ":" + std::to_string(static_cast<int>(p.top));
    }
    return s;
}

FlowBlock B(double height, bool newPage = false, bool keep = false, int header = -1, bool repeatOnly = false) {
    FlowBlock b;
    b.height = height;
    b.newPage = newPage;
    b.keepWithNext = keep;
    b.header = header;
    b.repeatOnly = repeatOnly;
    return b;
}

TEST(ReportFlow, BlocksGoWholeOntoPages) {
    struct Case {
        const char* what;
        std::vector<FlowBlock> blocks;
        std::string layout;
    } cases[] = {
        {"fits", {B(30), B(30), B(30)}, "0@0:10 1@0:40 2@0:70"},
        // Exactly to the bottom still fits; a millimetre more goes over.
        {"to the bottom", {B(45), B(45)}, "0@0:10 1@0:55"},
        {"one over", {B(45), B(46)}, "0@0:10 1@1:10"},
        {"new page", {B(10), B(10, true), B(10)}, "0@0:10 1@1:10 2@1:20"},
        // A first block asking for a new page does not leave page 0 empty.
        {"new page first", {B(10, true), B(10)}, "0@0:10 1@0:20"},
        // Taller than a page: a page of its own, never an endless loop of breaks.
        {"too tall", {B(10), B(200), B(10)}, "0@0:10 1@1:10 2@2:10"},
        // A heading kept with the next block moves with it.
        {"keep with next", {B(60), B(10, false, true), B(25)}, "0@0:10 1@1:10 2@1:20"},
        // A chain: heading, intro and the first row go together.
        {"chain", {B(50), B(10, false, true), B(10, false, true), B(25)}, "0@0:10 1@1:10 2@1:20 3@1:30"},
        // Keeping with a block that starts a page of its own asks no room for it.
        {"keep before new page", {B(70), B(10, false, true), B(25, true)}, "0@0:10 1@0:80 2@1:10"},
        {"empty", {}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.layout, Layout(c.blocks)) << c.what;
}

TEST(ReportFlow, TableTitlesAreRepeatedAboveRowsOpeningAPage) {
    // 0 heading, 1 titles, 2 the titles repeated with "continued", rows 3.. of 20 mm.
    std::vector<FlowBlock> blocks = {B(10, false, true), B(5, false, true), B(12, false, false, -1, true)};
    for (int i = 0; i < 6; ++i) blocks.push_back(B(20, false, false, 2));
    // Page 0 (10 to 105 mm): heading, titles, rows 3..6 to the bottom; page 1: the repeated titles, rows 7, 8.
    EXPECT_EQ("0@0:10 1@0:20 3@0:25 4@0:45 5@0:65 6@0:85 2@1:10 7@1:22 8@1:42", Layout(blocks, 10, 105));

    // The repeat-only block between the titles and the first row does not
    // break the chain: heading, titles and first row move to the next page together.
    std::vector<FlowBlock> late = {B(75), B(10, false, true), B(5, false, true), B(12, false, false, -1, true),
                                   B(20, false, false, 3)};
    EXPECT_EQ("0@0:10 1@1:10 2@1:20 4@1:25", Layout(late));

    // Nothing but repeat-only blocks: nothing is placed.
    EXPECT_EQ("", Layout({B(12, false, false, -1, true)}));
}

}  // namespace
