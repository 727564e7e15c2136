#include "QuorixMacApp/StatusMenuModel.h"

namespace quorix::StatusMenuModel {

namespace {

StatusMenuItem separator() {
    return StatusMenuItem{.isSeparator = true};
}

StatusMenuItem item(QString title, StatusMenuAction action = StatusMenuAction::none) {
    return StatusMenuItem{.title = std::move(title), .action = action};
}

StatusMenuItem submenu(QString title, std::vector<StatusMenuItem> items) {
    return StatusMenuItem{.title = std::move(title), .submenu = std::move(items)};
}

} // namespace

std::vector<StatusMenuItem> items(const StatusMenuState& state) {
    std::vector<StatusMenuItem> menu;
    menu.push_back(item(state.isRunning ? QStringLiteral("Kestrane 起動中")
                                        : QStringLiteral("Kestrane 停止中")));
    if (!state.fingerprint.isEmpty()) {
        menu.push_back(separator());
        menu.push_back(item(QStringLiteral("安全な目印: ") +
                            state.fingerprint.left(fingerprintPrefixLength) +
                            QStringLiteral("...")));
    }
    if (state.lastError) {
        menu.push_back(separator());
        menu.push_back(item(QStringLiteral("エラー: ") + *state.lastError));
    }
    menu.push_back(separator());
    menu.push_back(item(QStringLiteral("スマホと同期"), StatusMenuAction::showQRCode));
    menu.push_back(item(QStringLiteral("ショートカット編集"), StatusMenuAction::showEditor));
    menu.push_back(
        item(QStringLiteral("クイックパネルを表示"), StatusMenuAction::showQuickPanelFromMenu));

    std::vector<StatusMenuItem> triggers;
    for (const QuickPanelTriggerModes::Entry& mode : QuickPanelTriggerModes::table) {
        StatusMenuItem trigger =
            item(mode.title.toString(), StatusMenuAction::selectQuickPanelTriggerMode);
        trigger.representedObject = QString(mode.rawValue);
        trigger.isChecked = mode.mode == state.triggerMode;
        triggers.push_back(std::move(trigger));
    }
    menu.push_back(submenu(QStringLiteral("クイックパネルの出し方"), std::move(triggers)));

    menu.push_back(submenu(
        QStringLiteral("困ったとき"),
        {item(QStringLiteral("アクセシビリティ権限を確認"), StatusMenuAction::requestAccessibility),
         item(state.isRunning ? QStringLiteral("受け取りを再起動")
                              : QStringLiteral("受け取りを開始"),
              StatusMenuAction::restartServer)}));
    menu.push_back(separator());
    menu.push_back(
        submenu(QStringLiteral("このアプリについて"),
                {item(QStringLiteral("プライバシーポリシー"), StatusMenuAction::openPrivacyPolicy),
                 item(QStringLiteral("サポート"), StatusMenuAction::openSupport), separator(),
                 item(QStringLiteral("バージョン ") + state.versionText)}));
    menu.push_back(separator());
    menu.push_back(item(QStringLiteral("終了"), StatusMenuAction::quit));
    return menu;
}

QString versionText(const std::optional<QString>& shortVersion,
                    const std::optional<QString>& buildNumber) {
    if (!shortVersion || shortVersion->isEmpty()) {
        return QString(fallbackVersion);
    }
    if (!buildNumber || buildNumber->isEmpty()) {
        return *shortVersion;
    }
    return *shortVersion + QStringLiteral(" (") + *buildNumber + u')';
}

} // namespace quorix::StatusMenuModel
