#include "QuorixMacCore/Actions/URLOpener.h"

#include "QuorixMacCore/Platform/Workspace.h"

namespace quorix {

URLOpener::URLOpener(std::shared_ptr<Workspace> workspace)
    : m_workspace(std::move(workspace)) {}

void URLOpener::open(const URL& url) const {
    m_workspace->openURL(url.absoluteString());
}

} // namespace quorix
