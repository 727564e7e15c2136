#pragma once

#include <QString>
#include <QStringView>

namespace quorix::BonjourService {

/// The DNS-SD service type phones browse for.
inline constexpr QLatin1StringView type{"_quorix._tcp"};

/// The instance name used when the device name is blank.
inline constexpr QLatin1StringView fallbackServiceName{"Kestrane Mac"};

/// Longest instance name, in user-perceived characters.
inline constexpr qsizetype maxServiceNameCharacters = 63;

/// The device name trimmed of blanks and line breaks at both ends and cut to its first
/// `maxServiceNameCharacters` user-perceived characters (so a flag or an accented letter is
/// never split); `fallbackServiceName` when nothing is left.
QString sanitizedServiceName(QStringView name);

} // namespace quorix::BonjourService
