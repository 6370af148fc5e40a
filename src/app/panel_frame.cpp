// Look-ups in a frame of the panel.
#include "app/panel_frame.h"

#include <algorithm>
#include <string>

int PanelFrame::count(const std::string& group, const std::string& kind) const {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const PanelItem& i) {
        return i.group == group && i.kind == kind;
    }));
}

const PanelItem* PanelFrame::find(const std::string& kind, const std::string& label,
                                  const std::string& group) const {
    for (const PanelItem& item : items) {
        if (item.kind == kind && item.label == label && (group.empty() || item.group == group)) {
            return &item;
        }
    }
    return nullptr;
}
