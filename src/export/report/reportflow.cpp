#include "export/report/reportflow.h"

std::vector<FlowPlace> ReportFlow_Paginate(const std::vector<FlowBlock>& blocks, double top, double bottom) {
    std::vector<FlowPlace> places;
    int page = 0;
    double y = top;
    bool pageEmpty = true;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const FlowBlock& b = blocks[i];
        if (b.repeatOnly) continue;
        // The room this block needs: itself and the blocks it keeps with.
        double needed = b.height;
        for (std::size_t k = i; blocks[k].keepWithNext;) {
            std::size_t next = k + 1;
            while (next < blocks.size() && blocks[next].repeatOnly) ++next;
            if (next >= blocks.size() || blocks[next].newPage) break;
            needed += blocks[next].height;
            k = next;
        }
        const bool breakHere = !pageEmpty && (b.newPage || y + needed > bottom);
        if (breakHere) {
            ++page;
            y = top;
            pageEmpty = true;
        }
        // A row that opens a page (not the first after its own header) gets its header again.
        if (pageEmpty && b.header >= 0 && static_cast<std::size_t>(b.header) != i) {
            places.push_back({static_cast<std::size_t>(b.header), page, y});
            y += blocks[static_cast<std::size_t>(b.header)].height;
        }
        places.push_back({i, page, y});
        y += b.height;
        pageEmpty = false;
    }
    return places;
}
