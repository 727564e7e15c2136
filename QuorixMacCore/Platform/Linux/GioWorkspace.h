#pragma once

#include "QuorixMacCore/Platform/Workspace.h"

namespace quorix {

/// The workspace through GIO: default handlers from the shared MIME and URL-scheme
/// associations, applications from the desktop entries of the XDG data folders. Needs no
/// display or session bus.
class GioWorkspace final : public Workspace {
public:
    bool openURL(const std::string& url) override;
    bool hasApplication(const std::string& applicationID) override;
    bool openApplication(const std::string& applicationID) override;
    bool openFile(const std::string& path) override;
};

} // namespace quorix
