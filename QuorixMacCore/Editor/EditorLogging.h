#pragma once

#include <QLoggingCategory>

namespace quorix {
/// Messages of the editor model: layout store, normalisation, site icons.
Q_DECLARE_LOGGING_CATEGORY(lcEditor)
} // namespace quorix
