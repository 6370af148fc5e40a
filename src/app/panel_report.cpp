// Writing the panel's controls to the file LOFTWORK_PANEL_REPORT names.
#include "app/panel_report.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct ReportData {
    std::string written;  // the text last written
};
ReportData gReport;

}  // namespace

void writePanelReport(const PanelFrame& frame) {
    const char* path = std::getenv("LOFTWORK_PANEL_REPORT");
    if (path == nullptr || path[0] == '\0') return;
    std::string text;
    char line[128];
    for (const PanelItem& item : frame.items) {
        snprintf(line, sizeof line, "|%.0f %.0f %.0f %.0f|%.9g\n", static_cast<double>(item.minX),
                 static_cast<double>(item.minY), static_cast<double>(item.maxX),
                 static_cast<double>(item.maxY), item.value);
        text += item.kind + "|" + item.group + "|" + item.label + line;
    }
    if (text == gReport.written) return;
    const std::string temporary = std::string(path) + ".part";
    FILE* file = fopen(temporary.c_str(), "w");
    if (file == nullptr) return;
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    if (fclose(file) == 0 && written && rename(temporary.c_str(), path) == 0) {
        gReport.written = text;
    }
}
