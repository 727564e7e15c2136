#include "QuorixMacApp/AppDelegate.h"

#include "QuorixMacApp/PairingCodeMemo.h"
#include "QuorixMacApp/PairingQRCode.h"
#include "QuorixMacApp/PairingQRCodeWindow.h"
#include "QuorixMacApp/QuickPanel/QuickPanel.h"
#include "QuorixMacApp/QuickPanelMonitors.h"
#include "QuorixMacApp/ShellLogging.h"
#include "QuorixMacApp/StatusItem.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Control/SystemActionExecutor.h"
#include "QuorixMacCore/EditorWindow/EditorWindow.h"
#include "QuorixMacCore/EditorWindow/QuickPanelSection.h"
#include "QuorixMacCore/Platform/GlobalInputMonitor.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"
#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"
#include "QuorixMacCore/Platform/NativeKeyCodes.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"
#include "QuorixProtocol/Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSysInfo>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace quorix {

namespace {

AppDelegateOptions resolved(AppDelegateOptions options) {
    if (!options.directories) {
        options.directories = systemApplicationDirectories();
    }
    if (!options.defaults) {
        options.defaults = systemUserDefaultsDomains()->standard();
    }
    if (!options.makeGlobalInputMonitor) {
        options.makeGlobalInputMonitor = systemGlobalInputMonitor;
    }
    if (!options.accessibilityChecker) {
        options.accessibilityChecker =
            std::make_shared<X11AccessibilityChecker>(std::make_shared<XTestEventPoster>());
    }
    if (!options.workspace) {
        options.workspace = std::make_shared<GioWorkspace>();
    }
    return options;
}

QuorixMacServerController::Options controllerOptions(const AppDelegateOptions& options) {
    QuorixMacServerController::Options controller = options.controllerOptions;
    controller.securityMode = AppDelegate::securityMode(*options.defaults);
    return controller;
}

// Puts `window`'s centre on `centre`.
void centre(QWidget& window, QPoint centre) {
    window.move(centre - QPoint(window.width() / 2, window.height() / 2));
}

QPoint screenCentre(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().center() : QPoint();
}

void bringForward(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

AppDelegate::AppDelegate(Options options, QObject* parent)
    : QObject(parent)
    , m_options(resolved(std::move(options)))
    , m_controller(std::make_unique<QuorixMacServerController>(
          deviceName(),
          MacEditorLayoutStore(m_options.defaults, QString(MacEditorLayoutStore::defaultKey),
                               m_options.directories),
          QuorixNetworkDefaults::preferredPort, controllerOptions(m_options)))
    , m_quickPanelActionExecutor(makeSystemActionExecutor())
    , m_quickPanel(m_options.quickPanel ? m_options.quickPanel
                                        : std::make_shared<QuickPanel>(m_controller->editorState(),
                                                                       m_quickPanelActionExecutor))
    , m_trigger(QuickPanelTriggerModes::load(*m_options.defaults),
                [this](QuickPanelTrigger::Effect effect) { performTriggerEffect(effect); })
    , m_monitors(new QuickPanelMonitors(
          [this](const InputEvents::ModifierFlagsChanged& event) { m_trigger.handle(event); },
          *m_quickPanel, this)) {}

AppDelegate::~AppDelegate() {
    delete m_pairingWindow;
    delete m_editorWindow;
    delete m_statusItem;
}

QString AppDelegate::deviceName() {
    const QString hostName = QSysInfo::machineHostName();
    return hostName.isEmpty() ? QString(fallbackDeviceName) : hostName;
}

TransportSecurityMode AppDelegate::securityMode(const UserDefaults& defaults) {
    const QString setting = defaults.string(QString(secureTransportKey)).value_or(QString());
    const bool secure = setting.compare(u"true", Qt::CaseInsensitive) == 0 ||
                        setting.compare(u"yes", Qt::CaseInsensitive) == 0 || setting == u"1";
    return secure ? TransportSecurityMode::secureSelfSigned
                  : TransportSecurityMode::plaintextForLocalTesting;
}

bool AppDelegate::hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1StringView("offscreen") && platform != QLatin1StringView("minimal");
}

void AppDelegate::applicationDidFinishLaunching() {
    if (hasDisplay()) {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            m_statusItem = new StatusItem(
                [delegate = QPointer(this)](StatusMenuAction action, const QString& represented) {
                    if (delegate) {
                        delegate->perform(action, represented);
                    }
                });
        } else {
            qCWarning(lcShell) << "The desktop shows no tray; the editor window is the way in";
        }
        if (!m_monitors->install(m_options.makeGlobalInputMonitor(), systemNativeKeyCodes())) {
            qCWarning(lcShell) << "Input in other applications cannot be watched; the quick"
                                  " panel's trigger works in this program's windows only";
        }
    }
    m_controller->setOnPairingCompleted([delegate = QPointer(this)] {
        if (!delegate) {
            return;
        }
        if (delegate->m_pairingWindow) {
            delegate->m_pairingWindow->close();
        }
        Q_EMIT delegate->pairingCompleted();
    });
    m_controller->start();
    rebuildMenu();
    QTimer::singleShot(0, this, &AppDelegate::showEditor);
}

void AppDelegate::applicationWillTerminate() {
    m_trigger.reset();
    m_monitors->remove();
    delete m_pairingWindow;
    // The editor's command monitor goes with its window.
    delete m_editorWindow;
    delete m_statusItem;
    m_quickPanel->hideQuickPanel();
    m_controller->stop();
    // Settings are written in the background; nothing the user changed may be lost at exit.
    flushAllUserDefaults();
}

bool AppDelegate::hasVisibleWindows() const {
    return (m_editorWindow && m_editorWindow->isVisible()) ||
           (m_pairingWindow && m_pairingWindow->isVisible()) || m_quickPanel->isQuickPanelVisible();
}

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    if (!hasVisibleWindows || !m_editorWindow) {
        showEditor();
    } else {
        bringForward(*m_editorWindow);
    }
}

void AppDelegate::perform(StatusMenuAction action, const QString& representedObject) {
    switch (action) {
    case StatusMenuAction::none:
        break;
    case StatusMenuAction::showQRCode:
        showQRCode();
        break;
    case StatusMenuAction::showEditor:
        showEditor();
        break;
    case StatusMenuAction::showQuickPanelFromMenu:
        showQuickPanelFromMenu();
        break;
    case StatusMenuAction::selectQuickPanelTriggerMode:
        selectQuickPanelTriggerMode(representedObject);
        break;
    case StatusMenuAction::requestAccessibility:
        requestAccessibility();
        break;
    case StatusMenuAction::restartServer:
        restartServer();
        break;
    case StatusMenuAction::openPrivacyPolicy:
        openPrivacyPolicy();
        break;
    case StatusMenuAction::openSupport:
        openSupport();
        break;
    case StatusMenuAction::quit:
        quit();
        break;
    }
}

StatusMenuState AppDelegate::statusMenuState() const {
    return StatusMenuState{
        m_controller->isRunning(), m_controller->fingerprint(), m_controller->lastError(),
        m_trigger.mode(),
        StatusMenuModel::versionText(m_options.shortVersion, m_options.buildNumber)};
}

void AppDelegate::rebuildMenu() {
    // The code may have changed with whatever calls for a new menu.
    writePairingCodeMemo();
    if (m_statusItem) {
        m_statusItem->setMenu(StatusMenuModel::items(statusMenuState()));
    }
}

void AppDelegate::showQRCode() {
    m_controller->prepareFreshPairingCodeForDisplay();
    rebuildMenu();
    presentQRCode();
}

void AppDelegate::refreshPairingCode() {
    m_controller->refreshPairingCode();
    rebuildMenu();
    if (m_pairingWindow) {
        presentQRCode();
    }
}

void AppDelegate::presentQRCode() {
    if (!hasDisplay()) {
        return;
    }
    std::optional<QImage> image = PairingQRCode::makeQRCodeImage(
        PairingQRCode::payload(PairingQRCode::currentSource(*m_controller)));
    if (!m_pairingWindow) {
        m_pairingWindow = new PairingQRCodeWindow([delegate = QPointer(this)] {
            if (delegate) {
                delegate->refreshPairingCode();
            }
        });
        m_pairingWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pairingWindow->setQRImage(std::move(image));
    m_pairingWindow->setFixedSize(PairingQRCodeWindow::windowSize);
    if (m_editorWindow && m_editorWindow->isVisible()) {
        centre(*m_pairingWindow, m_editorWindow->frameGeometry().center());
    } else {
        centre(*m_pairingWindow, screenCentre(*m_pairingWindow));
    }
    bringForward(*m_pairingWindow);
}

void AppDelegate::showEditor() {
    if (!hasDisplay()) {
        return;
    }
    const QPointer<AppDelegate> delegate(this);
    auto* editor = new EditorWindow(
        m_controller->editorState(),
        [delegate] {
            if (delegate) {
                delegate->m_controller->syncEditorLayoutToConnectedIPhones();
                delegate->rebuildMenu();
            }
        },
        [delegate] {
            if (delegate) {
                delegate->showQRCode();
            }
        },
        quickPanelControls());
    if (m_editorWindow) {
        // Only the content is new; the window keeps its size and place.
        m_editorWindow->setCentralWidget(editor);
    } else {
        m_editorWindow = new QMainWindow;
        m_editorWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_editorWindow->setWindowTitle(QStringLiteral("Kestrane ショートカット編集"));
        m_editorWindow->setCentralWidget(editor);
        // The columns' minimum widths add up to more than the first width.
        m_editorWindow->resize(editorWindowSize.expandedTo(editor->minimumSizeHint()));
        centre(*m_editorWindow, screenCentre(*m_editorWindow));
    }
    bringForward(*m_editorWindow);
}

QuickPanelControls AppDelegate::quickPanelControls() {
    QuickPanelControls controls;
    for (const QuickPanelTriggerModes::Entry& mode : QuickPanelTriggerModes::table) {
        controls.triggerOptions.push_back({QString(mode.rawValue), mode.title.toString()});
    }
    controls.selectedTriggerID = QString(QuickPanelTriggerModes::entry(m_trigger.mode()).rawValue);
    const QPointer<AppDelegate> delegate(this);
    controls.onShowQuickPanel = [delegate] {
        if (delegate) {
            delegate->m_quickPanel->toggleQuickPanel();
        }
    };
    controls.onSelectTrigger = [delegate](const QString& rawValue) {
        if (delegate) {
            delegate->selectQuickPanelTriggerMode(rawValue);
        }
    };
    return controls;
}

void AppDelegate::showQuickPanelFromMenu() {
    m_quickPanel->showQuickPanel();
}

void AppDelegate::selectQuickPanelTriggerMode(const QString& rawValue) {
    const std::optional<QuickPanelTriggerMode> mode =
        QuickPanelTriggerModes::fromRawValue(rawValue);
    if (!mode) {
        return;
    }
    m_trigger.setMode(*mode);
    QuickPanelTriggerModes::save(*m_options.defaults, *mode);
    rebuildMenu();
    // The choice may come from the menu while the editor shows the one before.
    if (m_editorWindow) {
        if (auto* section = m_editorWindow->findChild<QuickPanelSection*>()) {
            section->showTrigger(rawValue);
        }
    }
}

void AppDelegate::requestAccessibility() {
    const bool trusted = m_options.accessibilityChecker->requestIfNeeded();
    if (hasDisplay()) {
        if (trusted) {
            QMessageBox::information(nullptr, QStringLiteral("Kestrane"),
                                     QStringLiteral("キー入力を送る準備ができています。"));
        } else {
            // There is no permission to grant here: either there is no X display, or the
            // one there is lacks the extension that posts keys.
            const bool onX = QGuiApplication::platformName() == QLatin1StringView("xcb");
            QMessageBox::warning(nullptr, QStringLiteral("Kestrane"),
                                 QStringLiteral("キー入力を送れません。") +
                                     (onX ? QStringLiteral("X サーバーに XTEST 拡張がありません。")
                                          : QStringLiteral("X ディスプレイに接続できません。")));
        }
    }
    rebuildMenu();
}

void AppDelegate::restartServer() {
    m_controller->start();
    rebuildMenu();
}

void AppDelegate::openPrivacyPolicy() {
    m_options.workspace->openURL(
        QString(productWebSite + QLatin1StringView("/privacy")).toStdString());
}

void AppDelegate::openSupport() {
    m_options.workspace->openURL(
        QString(productWebSite + QLatin1StringView("/support")).toStdString());
}

void AppDelegate::quit() {
    QCoreApplication::quit();
}

void AppDelegate::performTriggerEffect(QuickPanelTrigger::Effect effect) {
    switch (effect) {
    case QuickPanelTrigger::Effect::toggle:
        m_quickPanel->toggleQuickPanel();
        break;
    case QuickPanelTrigger::Effect::show:
        m_quickPanel->showQuickPanel();
        break;
    case QuickPanelTrigger::Effect::hide:
        m_quickPanel->hideQuickPanel();
        break;
    }
}

std::optional<QString> AppDelegate::writePairingCodeMemo() {
    return PairingCodeMemo::write(*m_options.directories, m_controller->pairingCode());
}

std::optional<QString> AppDelegate::pairingCodeMemoPath() const {
    return PairingCodeMemo::filePath(*m_options.directories);
}

} // namespace quorix
