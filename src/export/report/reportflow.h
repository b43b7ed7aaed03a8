#pragma once
// Pages of a report from a flow of blocks: each block has a height and goes
// whole onto one page below the one before; a block that does not fit starts
// the next page. A block may start a page of its own (a map), keep with the
// block after it (a heading stays with its first row) and name a header (a
// table's column titles) that is drawn again above it when it opens a page,
// so a long table flows over pages with nothing cut.
#include <cstddef>
#include <vector>

struct FlowBlock {
    double height = 0.0;      // millimetres
    bool newPage = false;     // starts a page
    bool keepWithNext = false;
    int header = -1;          // index of the block repeated above this one on a new page
    bool repeatOnly = false;  // drawn only as a repeated header (a table's titles with "continued")
};

struct FlowPlace {
    std::size_t block = 0;
    int page = 0;             // from 0
    double top = 0.0;         // millimetres from the top of the page
};

// The places of the blocks in order, repeated headers included. A block
// taller than the room between top and bottom gets a page of its own.
std::vector<FlowPlace> ReportFlow_Paginate(const std::vector<FlowBlock>& blocks, double top, double bottom);
