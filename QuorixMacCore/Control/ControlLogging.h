#pragma once

#include <QLoggingCategory>

namespace quorix {
/// Messages of server control and the stored editor layout.
Q_DECLARE_LOGGING_CATEGORY(lcControl)
} // namespace quorix
