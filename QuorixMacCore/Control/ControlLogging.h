#pragma once

#include <QLoggingCategory>

namespace quorix {
/// Messages of server control.
Q_DECLARE_LOGGING_CATEGORY(lcControl)
} // namespace quorix
