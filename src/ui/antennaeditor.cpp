#include "ui/antennaeditor.h"

AntennaEditor::AntennaEditor(QWidget* parent) : QWidget(parent, Qt::Window) {}

void AntennaEditor::open(std::function<void()> closed) {
    show();
    if (closed) closed();
}
