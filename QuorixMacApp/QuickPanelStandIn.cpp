#include "QuorixMacApp/QuickPanelStandIn.h"

#include "QuorixMacApp/ShellLogging.h"

#include <QApplication>

namespace quorix {

void QuickPanelStandIn::showQuickPanel() {
    qCInfo(lcShell) << "quick panel: show";
    QApplication::beep();
}

void QuickPanelStandIn::toggleQuickPanel() {
    qCInfo(lcShell) << "quick panel: toggle";
    QApplication::beep();
}

void QuickPanelStandIn::hideQuickPanel() {
    qCInfo(lcShell) << "quick panel: hide";
}

} // namespace quorix
