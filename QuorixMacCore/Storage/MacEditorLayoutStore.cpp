#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"

#include "QuorixMacCore/Platform/PrivateFiles.h"
#include "QuorixMacCore/Storage/LayoutIconDataCompactor.h"
#include "QuorixMacCore/Storage/StorageLogging.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QFile>

#include <string_view>

namespace quorix {

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

MacEditorLayoutStore::MacEditorLayoutStore()
    : MacEditorLayoutStore(systemUserDefaultsDomains()->standard(), QString(defaultKey)) {}

MacEditorLayoutStore::MacEditorLayoutStore(
    std::shared_ptr<UserDefaults> defaults, QString key,
    std::shared_ptr<const ApplicationDirectories> directories)
    : m_defaults(std::move(defaults))
    , m_key(std::move(key))
    , m_directories(std::move(directories))
    , m_storedValueChecked(std::make_shared<std::atomic<bool>>(false)) {}

QString MacEditorLayoutStore::unreadableCopyPath(int number) const {
    QString fileName = QString(unreadableCopyFileName);
    if (number > 1) {
        fileName.insert(fileName.lastIndexOf(u'.'), u'-' + QString::number(number));
    }
    return m_directories->helperDirectory() + u'/' + fileName;
}

std::optional<LayoutRecord> MacEditorLayoutStore::readStored() const {
    std::optional<QByteArray> stored = m_defaults->data(m_key);
    if (!stored) {
        // Not a stored layout either, but still the user's and worth keeping.
        if (std::optional<QString> text = m_defaults->string(m_key)) {
            keepUnreadableCopy(text->toUtf8(), QStringLiteral("it is text, not data"));
        }
        return std::nullopt;
    }
    Decoded<LayoutRecord> decoded = ProtocolJSON::decodeLayout(view(*stored));
    if (!decoded) {
        keepUnreadableCopy(*stored, QString::fromStdString(decoded.error().description()));
        return std::nullopt;
    }
    return std::move(decoded).value();
}

std::optional<LayoutRecord> MacEditorLayoutStore::load() const {
    m_storedValueChecked->store(true);
    std::optional<LayoutRecord> stored = readStored();
    if (!stored) {
        return std::nullopt;
    }
    LayoutIconDataCompactor::Compacted compacted =
        LayoutIconDataCompactor::compact(std::move(*stored));
    if (compacted.changed) {
        write(compacted.layout);
    }
    return std::move(compacted.layout);
}

void MacEditorLayoutStore::save(const LayoutRecord& layout) const {
    if (!m_storedValueChecked->exchange(true)) {
        readStored();
    }
    std::vector<LayoutIconDataCompactor::Replacement> replacements =
        LayoutIconDataCompactor::replacements(layout);
    if (replacements.empty()) {
        write(layout);
        return;
    }
    LayoutRecord compacted = layout;
    LayoutIconDataCompactor::apply(compacted, std::move(replacements));
    write(compacted);
}

void MacEditorLayoutStore::write(const LayoutRecord& compacted) const {
    Encoded encoded = ProtocolJSON::encode(compacted);
    if (!encoded) {
        qCWarning(lcStorage) << "The editor layout is not stored:"
                             << QString::fromStdString(encoded.error().description());
        return;
    }
    m_defaults->setData(m_key, QByteArray::fromStdString(*encoded));
}

void MacEditorLayoutStore::keepUnreadableCopy(const QByteArray& bytes,
                                              const QString& reason) const {
    const auto report = [&](const QString& outcome) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("The stored editor layout cannot be read (%1); %2")
                   .arg(reason, outcome);
    };
    if (!PrivateFiles::makeDirectory(m_directories->helperDirectory())) {
        report(QStringLiteral("no folder can be made to keep a copy of it"));
        return;
    }
    for (int number = 1; number <= maxUnreadableCopies; ++number) {
        const QString path = unreadableCopyPath(number);
        QFile existing(path);
        if (existing.exists()) {
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) {
                report(QStringLiteral("a copy is kept at ") + path);
                return;
            }
            continue;
        }
        if (!PrivateFiles::writeAtomically(path, bytes)) {
            break;
        }
        report(QStringLiteral("a copy is kept at ") + path);
        return;
    }
    report(QStringLiteral("no copy of it could be kept"));
}

} // namespace quorix
