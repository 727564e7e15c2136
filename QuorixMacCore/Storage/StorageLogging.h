#pragma once

#include <QLoggingCategory>

namespace quorix {
/// Messages of the stored editor layout.
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
} // namespace quorix
