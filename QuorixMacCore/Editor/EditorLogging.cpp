#include "QuorixMacCore/Editor/EditorLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcEditor, "quorix.editor")
} // namespace quorix
