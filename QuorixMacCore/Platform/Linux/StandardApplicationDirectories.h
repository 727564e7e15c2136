#pragma once

#include "QuorixMacCore/Platform/ApplicationDirectories.h"

namespace quorix {

/// The XDG data directory stands for Application Support.
class StandardApplicationDirectories final : public ApplicationDirectories {
public:
    std::optional<QString> applicationSupportDirectory() const override;
    QString temporaryDirectory() const override;
};

} // namespace quorix
