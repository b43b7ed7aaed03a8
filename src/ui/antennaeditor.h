#pragma once
// The antenna editor: the second top-level window.
#include <QWidget>

#include "antenna/antenna.h"

class AntennaEditor : public QWidget, public AntennaTableView {
    Q_OBJECT
public:
    explicit AntennaEditor(QWidget* parent = nullptr);
    void setRows(const std::vector<AntennaTableRow>&) override {}
    void selectRow(int) override {}
    // Shows the editor; closing it saves antennas.ini and calls closed (may be empty).
    void open(std::function<void()> closed = {});
};
