#include "QuorixMacCore/Actions/ExecError.h"

namespace quorix {

std::string ExecError::description() const {
    switch (m_kind) {
    case Kind::unknownKey:
        return "unknown_key:" + m_payload;
    case Kind::unsafeSystemShortcut:
        return "unsafe_system_shortcut:" + m_payload;
    case Kind::accessibilityNotGranted:
        return "accessibility_not_granted";
    case Kind::appNotFound:
        return "app_not_found";
    case Kind::shellCommandDisabled:
        return "shell_command_disabled";
    }
    return {};
}

} // namespace quorix
