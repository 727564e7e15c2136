#pragma once

#include "QuorixProtocol/Foundation.h"

#include <memory>

namespace quorix {

class Workspace;

/// Opens addresses with the desktop's default handler of their scheme.
class URLOpener {
public:
    explicit URLOpener(std::shared_ptr<Workspace> workspace);

    /// Reports nothing: an address no application handles is not an error of the action.
    void open(const URL& url) const;

private:
    std::shared_ptr<Workspace> m_workspace;
};

} // namespace quorix
