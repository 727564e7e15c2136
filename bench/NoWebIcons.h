#pragma once

#include "QuorixMacCore/Editor/WebIconResolver.h"

#include <QFuture>

namespace quorix::bench {

/// A resolver that finds no site icon at once: benchmarks measure the program, not the network.
class NoWebIcons final : public WebIconResolving {
public:
    QFuture<WebIconData> iconData(const URL&) override {
        return QtFuture::makeReadyFuture(WebIconData());
    }
};

} // namespace quorix::bench
