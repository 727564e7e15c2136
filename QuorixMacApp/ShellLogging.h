#pragma once

#include <QLoggingCategory>

namespace quorix {
Q_DECLARE_LOGGING_CATEGORY(lcShell)
} // namespace quorix
