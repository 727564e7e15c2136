#include "QuorixMacCore/Actions/AppLauncher.h"

#include "QuorixMacCore/Platform/Workspace.h"
#include "QuorixProtocol/Foundation.h"

namespace quorix {

AppLauncher::AppLauncher(std::shared_ptr<Workspace> workspace)
    : m_workspace(std::move(workspace)) {}

std::optional<ExecError> AppLauncher::launch(const std::string& bundleID,
                                             const std::optional<std::string>& fallbackPath) const {
    if (m_workspace->hasApplication(bundleID)) {
        m_workspace->openApplication(bundleID);
        return std::nullopt;
    }
    if (!fallbackPath) {
        return ExecError::appNotFound();
    }
    if (const auto url = URL::parse(*fallbackPath); url && !url->scheme().empty()) {
        m_workspace->openURL(url->absoluteString());
    } else {
        m_workspace->openFile(*fallbackPath);
    }
    return std::nullopt;
}

} // namespace quorix
