#pragma once

#include "QuorixMacCore/Actions/ExecError.h"

#include <memory>
#include <optional>
#include <string>

namespace quorix {

class Workspace;

/// Starts applications by identifier (the desktop entry's name), with a fallback address
/// or path for applications that are not installed as an entry.
class AppLauncher {
public:
    explicit AppLauncher(std::shared_ptr<Workspace> workspace);

    /// Starts the application with the identifier if one is installed. Otherwise opens the
    /// fallback: as an address when it has a scheme, else as a path. Fails with
    /// `appNotFound` only when nothing is installed and there is no fallback; whether
    /// opening worked is not reported.
    std::optional<ExecError> launch(const std::string& bundleID,
                                    const std::optional<std::string>& fallbackPath) const;

private:
    std::shared_ptr<Workspace> m_workspace;
};

} // namespace quorix
