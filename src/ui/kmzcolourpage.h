#pragma once
// The widgets of "Step 4 of 5: Color Assignment": the anchor tree (bad,
// average, good per channel), the three anchor colour buttons with their
// palette of the six ring colours, "Auto" and the colour profiles.
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <functional>

#include "ui/wizardframe.h"

struct KmzColourPage {
    QWidget* page = nullptr;
    UiWizardFrame frame;
    QTreeWidget* tree = nullptr;  // columns: channel, bad, average, good
    std::array<QPushButton*, 3> colourButtons{};  // bad, average, good
    QPushButton* autoButton = nullptr;
    QComboBox* profiles = nullptr;  // editable: a new name saves a new profile
    QPushButton* deleteProfile = nullptr;
};

// picked(button, colour) runs when a palette colour is chosen for a button.
KmzColourPage KmzColourPage_Build(QWidget* parent, std::function<void(int, std::uint32_t)> picked);
// Shows colour (0xRRGGBB) on a button.
void KmzColourPage_ShowColour(QPushButton* button, std::uint32_t colour);
