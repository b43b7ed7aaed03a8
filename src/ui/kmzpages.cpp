#include "ui/kmzpages.h"

#include "ui/uishell.h"

KmzPages::KmzPages(QWidget* parent) : QObject(parent) {
    for (auto& p : pages_) p = new QWidget(parent);
}

QWidget* KmzPages::page(int uiPage) const {
    switch (uiPage) {
        case kPageKmzLevels: return pages_[0];
        case kPageKmzScope: return pages_[1];
        case kPageKmzColours: return pages_[2];
        case kPageKmzProgress: return pages_[3];
        default: return nullptr;
    }
}

KmzLevelTableView& KmzPages::levelTableView() { return levelTable_; }
