#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

namespace quorix {

/// The "Desktop Entry" group of a freedesktop.org desktop entry file: what an
/// application announces about itself (name, icon, whether it is shown).
class DesktopEntry {
public:
    /// Files larger than this are not desktop entries anyone wrote by hand or tool.
    static constexpr qint64 maxFileBytes = qint64{1024} * 1024;

    /// Nothing when the file cannot be read, is larger than `maxFileBytes`, or has no
    /// "Desktop Entry" group.
    static std::optional<DesktopEntry> read(const QString& path);
    /// Nothing when the text has no "Desktop Entry" group.
    static std::optional<DesktopEntry> parse(QByteArrayView contents);

    /// The key's value with the escapes \s \n \t \r \\ resolved; nothing when absent.
    std::optional<QString> value(QStringView key) const;
    /// The value of a localised key for a POSIX locale ("ja_JP.UTF-8", "sr@latin"),
    /// matched as the desktop entry rules say: key[lang_COUNTRY@MODIFIER],
    /// key[lang_COUNTRY], key[lang@MODIFIER], key[lang], then the plain key. A present
    /// but empty value counts as present.
    std::optional<QString> localizedValue(QStringView key, QStringView locale) const;
    /// True only for the value "true"; absent or anything else is false.
    bool booleanValue(QStringView key) const;

private:
    QHash<QString, QString> m_values;
};

} // namespace quorix
