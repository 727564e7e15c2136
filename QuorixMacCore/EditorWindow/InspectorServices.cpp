#include "QuorixMacCore/EditorWindow/InspectorServices.h"

#include "QuorixMacCore/Editor/MacEditorState.h"

#include <QFileDialog>
#include <QImageReader>

namespace quorix {

namespace {

QString imageFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        if (format != "svg" && format != "svgz") {
            patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
        }
    }
    return QStringLiteral("Images (%1)").arg(patterns.join(u' '));
}

void chooseWithDialog(QWidget* parent, FileChoice choice,
                      std::function<void(std::optional<QString>)> done) {
    auto* dialog = new QFileDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(choice == FileChoice::image ? QFileDialog::ExistingFile
                                                    : QFileDialog::AnyFile);
    if (choice == FileChoice::image) {
        dialog->setNameFilter(imageFilter());
    } else {
        dialog->setDirectory(QStringLiteral("/usr/share/applications"));
        dialog->setNameFilters(
            {QStringLiteral("Applications (*.desktop)"), QStringLiteral("All files (*)")});
    }
    // Called at most once: a dialog closed by its window button reports rejection.
    auto pending = std::make_shared<std::function<void(std::optional<QString>)>>(std::move(done));
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [pending](const QString& path) {
        if (auto callback = std::exchange(*pending, nullptr)) {
            callback(path);
        }
    });
    QObject::connect(dialog, &QDialog::rejected, dialog, [pending] {
        if (auto callback = std::exchange(*pending, nullptr)) {
            callback(std::nullopt);
        }
    });
    dialog->open();
}

} // namespace

InspectorServices InspectorServices::system() {
    return {systemRunningApplications(),         systemApplicationFiles(), systemNativeKeyCodes(),
            std::make_shared<ShortcutScanner>(), chooseWithDialog,         nullptr};
}

ButtonEditing::ButtonEditing(MacEditorState& state, std::function<void()> onSync, UUID buttonID)
    : m_state(state)
    , m_onSync(std::move(onSync))
    , m_buttonID(buttonID) {}

bool ButtonEditing::isCurrent() const {
    return m_state.selectedButtonID() == m_buttonID && m_state.selectedButton() != nullptr;
}

void ButtonEditing::apply(const InspectorRules::ButtonUpdate& update) const {
    if (!isCurrent()) {
        return;
    }
    m_state.updateSelectedButton(update.icon, update.colorGradient, update.action);
    synced();
}

void ButtonEditing::applyResolvingWebIcon(const InspectorRules::ButtonUpdate& update) const {
    if (!isCurrent()) {
        return;
    }
    m_state.updateSelectedButtonResolvingWebIcon(update.icon, update.colorGradient, update.action);
    synced();
}

void ButtonEditing::selectInstalledApp(const AppInfo& app,
                                       std::optional<std::string> fallbackPath) const {
    if (!isCurrent()) {
        return;
    }
    m_state.selectInstalledApp(app, std::move(fallbackPath));
    synced();
}

void ButtonEditing::synced() const {
    if (m_onSync) {
        // A copy: the host may rebuild the inspector, and with it this object.
        const std::function<void()> onSync = m_onSync;
        onSync();
    }
}

} // namespace quorix
