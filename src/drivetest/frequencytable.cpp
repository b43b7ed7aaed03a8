#include "drivetest/frequencytable.h"

#include <cmath>

#include "platform/text.h"

namespace {

constexpr int kLabelWidth = 170;
constexpr int kButtonWidth = 24;
constexpr int kDescriptionWidth = 100;
constexpr int kFrequencyWidth = 85;
// The floating table holds the four fixed columns of the recently used table
// (column 1 is empty there, 0 pixels) and their grid lines: 212 pixels.
constexpr int kDragFixedWidth = 212;

const char* const kHelpLabel = "Type and serial number of the available TV analyzers.";
const char* const kHelpButton = "[+]\nAdd an entry.\n\n[x]\nDelete an entry.";
const char* const kHelpDescription = "Represents the related signal parameters in subsequent dialogs.";
const char* const kHelpFrequency = "Center frequency of the desired signal.";

// The frequency as the cell holds it: to the 6 decimals it shows, so that
// what looks equal compares equal in the duplicate check.
double ToCellPrecision(double mhz) {
    double value = mhz;
    Text_ParseDouble(Text_FormatFixed(mhz, kFreqDecimals), value);
    return value;
}

double Clamp(double value, double low, double high) { return value < low ? low : value > high ? high : value; }

// Latin-1 text up to its first NUL, at most max bytes.
std::string CellText(const std::string& text, std::size_t max) {
    std::string s = text.substr(0, text.find('\0'));
    if (s.size() > max) s.resize(max);
    return s;
}

FrequencyParameterCell DefaultCell(const StandardParameter& p) {
    FrequencyParameterCell cell;
    cell.kind = p.kind;
    if (p.kind == kParameterSelection) {
        for (const auto& c : p.choices) cell.choices.emplace_back(c.label);
        if (!cell.choices.empty()) cell.label = cell.choices.front();
    } else {
        cell.minimum = p.minimum;
        cell.maximum = p.maximum;
        cell.number = p.minimum;
    }
    return cell;
}

// A copy of the cell above: a selection keeps its choices and shows the first,
// a number keeps value and limits.
FrequencyParameterCell CopiedCell(const FrequencyParameterCell& above) {
    FrequencyParameterCell cell = above;
    if (cell.kind == kParameterSelection) cell.label = cell.choices.empty() ? std::string() : cell.choices.front();
    return cell;
}

bool SetSelection(FrequencyParameterCell& cell, const std::string& label) {
    for (const auto& c : cell.choices) {
        if (c == label) {
            cell.label = c;
            return true;
        }
    }
    return false;
}

bool SetNumber(FrequencyParameterCell& cell, const std::string& text) {
    long long n = 0;
    if (!Text_ParseInt(text, n)) return false;
    cell.number = static_cast<int>(n < cell.minimum ? cell.minimum : n > cell.maximum ? cell.maximum : n);
    return true;
}

bool SetFrequency(FrequencyRow& r, const std::string& text, bool leadingNumber) {
    double mhz = 0.0;
    const bool parsed = leadingNumber ? Text_ParseLeadingDouble(text, mhz) : Text_ParseDouble(text, mhz);
    if (!parsed || !std::isfinite(mhz)) return false;
    r.frequencyMHz = ToCellPrecision(Clamp(mhz, r.minimumMHz, r.maximumMHz));
    return true;
}

const BroadcastStandard* SlotStandard(const AnalyzerSlot& slot) {
    const auto& standards = slot.family.standards;
    if (slot.standardIndex < 1 || static_cast<std::size_t>(slot.standardIndex) > standards.size()) return nullptr;
    return &standards[static_cast<std::size_t>(slot.standardIndex - 1)];
}

}  // namespace

std::string FrequencyParameterCell::text() const {
    return kind == kParameterSelection ? label : Text_Format("%d", number);
}

RowColour FrequencyTable_Stripe(int row) { return row % 2 == 0 ? RowColour{255, 255, 255} : RowColour{230, 230, 230}; }

RowColour FrequencyTable_Yellow(int row) { return row % 2 == 0 ? RowColour{255, 255, 150} : RowColour{230, 230, 150}; }

void FrequencyTable::reset(const BroadcastStandard& standard) {
    standard_ = standard;
    rows_.clear();
    columns_ = {{"TV analyzer\nSerial number", kLabelWidth, kHelpLabel},
                {"", kButtonWidth, kHelpButton},
                {kFreqTitleDescription, kDescriptionWidth, kHelpDescription},
                {kFreqTitleFrequency, kFrequencyWidth, kHelpFrequency}};
    for (const auto& p : standard.parameters) columns_.push_back({p.columnTitle, p.columnWidth, p.help});
}

std::vector<std::string> FrequencyTable::fieldTitles() const {
    std::vector<std::string> titles;
    for (std::size_t c = kFreqColumnDescription - 1; c < columns_.size(); ++c) titles.push_back(columns_[c].title);
    return titles;
}

const FrequencyRow* FrequencyTable::row(int row) const {
    if (row < 2 || row > rowCount()) return nullptr;
    return &rows_[static_cast<std::size_t>(row - 2)];
}

FrequencyRow* FrequencyTable::row(int row) {
    return const_cast<FrequencyRow*>(static_cast<const FrequencyTable&>(*this).row(row));
}

bool FrequencyTable::insertRow(int at, const std::string& label, int isLast, const AnalyzerSlot* slot) {
    if (at < 2 || at > rowCount() + 1) return false;
    FrequencyRow r;
    r.label = CellText(label, label.size());
    r.addButton = isLast == 1;
    const FrequencyRow* above = row(at - 1);
    if (slot) {
        r.antennaIndex = slot->antennaIndex;
        r.minimumMHz = slot->family.rangeLow;
        r.maximumMHz = slot->family.rangeHigh;
        r.frequencyMHz = slot->family.rangeDefault;
        const BroadcastStandard* own = SlotStandard(*slot);
        // The columns are the table's: a slot of another standard gets the table's defaults.
        const BroadcastStandard& s =
            own && own->parameters.size() == standard_.parameters.size() ? *own : standard_;
        for (const auto& p : s.parameters) r.parameters.push_back(DefaultCell(p));
    } else if (above) {
        r.minimumMHz = above->minimumMHz;
        r.maximumMHz = above->maximumMHz;
        r.frequencyMHz = above->frequencyMHz;
        for (const auto& cell : above->parameters) r.parameters.push_back(CopiedCell(cell));
    } else {
        for (const auto& p : standard_.parameters) r.parameters.push_back(DefaultCell(p));
    }
    r.yellow.assign(columns_.size(), false);
    rows_.insert(rows_.begin() + (at - 2), std::move(r));
    return true;
}

FrequencyTable::Press FrequencyTable::pressButton(int at) {
    FrequencyRow* r = row(at);
    if (!r) return Press::None;
    const FrequencyRow* next = row(at + 1);
    if (!next || !next->label.empty()) {
        insertRow(at + 1, "", 1, nullptr);
        row(at)->addButton = false;
        restripe();
        return Press::Added;
    }
    std::string label = r->label;
    const int antennaIndex = r->antennaIndex;
    rows_.erase(rows_.begin() + (at - 2));
    FrequencyRow& up = *row(at);  // the row after it existed, in the same block
    up.label = std::move(label);
    up.antennaIndex = antennaIndex;
    const FrequencyRow* after = row(at + 1);
    if (!after || !after->label.empty()) up.addButton = true;
    restripe();
    return Press::Deleted;
}

bool FrequencyTable::setCell(int at, int column, const std::string& text) {
    FrequencyRow* r = row(at);
    if (!r) return false;
    if (column == kFreqColumnDescription) {
        r->description = CellText(text, kFreqDescriptionMaxLength);
        return true;
    }
    if (column == kFreqColumnFrequency) return SetFrequency(*r, text, false);
    const int p = column - kFreqFixedColumns - 1;
    if (p < 0 || p >= static_cast<int>(r->parameters.size())) return false;
    FrequencyParameterCell& cell = r->parameters[static_cast<std::size_t>(p)];
    return cell.kind == kParameterSelection ? SetSelection(cell, text) : SetNumber(cell, text);
}

bool FrequencyTable::editsOnActivation(int at, int column) const {
    const FrequencyRow* r = row(at);
    if (!r) return false;
    if (column == kFreqColumnDescription || column == kFreqColumnFrequency) return true;
    const int p = column - kFreqFixedColumns - 1;
    return p >= 0 && p < static_cast<int>(r->parameters.size()) &&
           r->parameters[static_cast<std::size_t>(p)].kind == kParameterNumber;
}

bool FrequencyTable::drop(int at, const RecentEntry& entry) {
    FrequencyRow* r = row(at);
    if (!r) return false;
    if (entry.size() > 0) r->description = CellText(entry[0], kFreqDescriptionMaxLength);
    if (entry.size() > 1) SetFrequency(*r, entry[1], true);  // an unreadable number leaves the cell
    for (std::size_t p = 0; p < r->parameters.size() && p + 2 < entry.size(); ++p) {
        FrequencyParameterCell& cell = r->parameters[p];
        const std::string& text = entry[p + 2];
        if (cell.kind == kParameterSelection)
            SetSelection(cell, text);  // unchanged when no label matches
        else if (!text.empty())
            SetNumber(cell, text);
    }
    return true;
}

RecentEntry FrequencyTable::fields(int at) const {
    RecentEntry f;
    const FrequencyRow* r = row(at);
    if (!r) return f;
    f.push_back(r->description);
    f.push_back(Text_Format("%011.6f", r->frequencyMHz));
    for (const auto& cell : r->parameters) f.push_back(cell.text());
    return f;
}

void FrequencyTable::restripe() {
    for (auto& r : rows_) r.yellow.assign(columns_.size(), false);
}

FrequencyRowView FrequencyTable::view(int at) const {
    FrequencyRowView v;
    const FrequencyRow* r = row(at);
    if (!r) return v;
    const RowColour stripe = FrequencyTable_Stripe(at);
    auto add = [&](FrequencyCellView cell) {
        const std::size_t c = v.cells.size();
        cell.background = c < r->yellow.size() && r->yellow[c] ? FrequencyTable_Yellow(at) : stripe;
        v.cells.push_back(std::move(cell));
    };
    add({.kind = FrequencyCellKind::Label, .text = r->label});
    add({.kind = FrequencyCellKind::Button,
         .text = r->addButton ? kFreqAddImage : kFreqDeleteImage,
         .button = r->addButton ? FrequencyButton::Add : FrequencyButton::Delete});
    add({.kind = FrequencyCellKind::Text, .text = r->description, .maxLength = kFreqDescriptionMaxLength});
    add({.kind = FrequencyCellKind::Real,
         .text = Text_FormatFixed(r->frequencyMHz, kFreqDecimals),
         .decimals = kFreqDecimals,
         .minimum = r->minimumMHz,
         .maximum = r->maximumMHz});
    for (const auto& cell : r->parameters) {
        if (cell.kind == kParameterSelection)
            add({.kind = FrequencyCellKind::Selection, .text = cell.label, .choices = cell.choices});
        else
            add({.kind = FrequencyCellKind::Number,
                 .text = cell.text(),
                 .minimum = static_cast<double>(cell.minimum),
                 .maximum = static_cast<double>(cell.maximum)});
    }
    return v;
}

int FrequencyTable::blockCount() const {
    int count = 0;
    for (const auto& r : rows_) count += r.label.empty() ? 0 : 1;
    return count;
}

int FrequencyTable::blockStart(int k) const {
    int count = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (!rows_[i].label.empty() && ++count == k) return static_cast<int>(i) + 2;
    return 0;
}

std::vector<FrequencyEntry> FrequencyTable::block(int k) const {
    std::vector<FrequencyEntry> entries;
    const int start = blockStart(k);
    if (start == 0) return entries;
    for (int at = start; at <= rowCount() && (at == start || row(at)->label.empty()); ++at) {
        const FrequencyRow& r = *row(at);
        FrequencyEntry e;
        e.description = r.description;
        e.frequencyMHz = r.frequencyMHz;
        for (const auto& cell : r.parameters) e.parameterValues.push_back(cell.text());
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<FrequencyColumnView> FrequencyTable_RecentColumns(const BroadcastStandard& standard) {
    std::vector<FrequencyColumnView> columns = {{"", 0, ""},
                                                {"", kButtonWidth, ""},
                                                {kFreqTitleDescription, kDescriptionWidth, ""},
                                                {kFreqTitleFrequency, kFrequencyWidth, ""}};
    for (const auto& p : standard.parameters) columns.push_back({p.columnTitle, p.columnWidth, ""});
    return columns;
}

int FrequencyTable_DragTableWidth(const BroadcastStandard& standard) {
    int width = kDragFixedWidth;
    for (const auto& p : standard.parameters) width += p.columnWidth + 1;
    return width;
}

FrequencyRowView FrequencyTable_RecentRowView(int row, const RecentEntry& entry) {
    FrequencyRowView v;
    const RowColour stripe = FrequencyTable_Stripe(row);
    v.cells.push_back({.kind = FrequencyCellKind::Label, .background = stripe});
    v.cells.push_back({.kind = FrequencyCellKind::Button,
                       .text = kFreqDeleteImage,
                       .button = FrequencyButton::Delete,
                       .background = stripe});
    for (const auto& text : entry) v.cells.push_back({.kind = FrequencyCellKind::Label, .text = text, .background = stripe});
    return v;
}
