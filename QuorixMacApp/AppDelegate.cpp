#include "QuorixMacApp/AppDelegate.h"

#include "QuorixMacApp/PairingCodeMemo.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Control/SystemActionExecutor.h"
#include "QuorixMacCore/EditorWindow/EditorWindow.h"
#include "QuorixMacCore/Platform/UserDefaults.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"
#include "QuorixProtocol/Messages.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>

namespace quorix {

AppDelegate::AppDelegate(std::shared_ptr<const ApplicationDirectories> directories, QObject* parent)
    : QObject(parent)
    , m_directories(std::move(directories))
    , m_controller(std::make_unique<QuorixMacServerController>(
          deviceName(), MacEditorLayoutStore(), QuorixNetworkDefaults::preferredPort,
          QuorixMacServerController::Options{
              .securityMode = securityMode(*systemUserDefaultsDomains()->standard())}))
    , m_quickPanelActionExecutor(makeSystemActionExecutor())
    , m_quickPanel(
          std::make_unique<QuickPanel>(m_controller->editorState(), m_quickPanelActionExecutor)) {}

AppDelegate::~AppDelegate() {
    delete m_editorWindow;
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

void AppDelegate::applicationDidFinishLaunching() {
    m_controller->setOnPairingCompleted([delegate = QPointer(this)] {
        if (delegate) {
            Q_EMIT delegate->pairingCompleted();
        }
    });
    m_controller->start();
    writePairingCodeMemo();
    QTimer::singleShot(0, this, &AppDelegate::showEditor);
}

void AppDelegate::applicationWillTerminate() {
    delete m_editorWindow;
    m_quickPanel->hideQuickPanel();
    m_controller->stop();
    // Settings are written in the background; nothing the user changed may be lost at exit.
    flushAllUserDefaults();
}

std::optional<QString> AppDelegate::writePairingCodeMemo() {
    return PairingCodeMemo::write(*m_directories, m_controller->pairingCode());
}

std::optional<QString> AppDelegate::pairingCodeMemoPath() const {
    return PairingCodeMemo::filePath(*m_directories);
}

bool AppDelegate::hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1StringView("offscreen") && platform != QLatin1StringView("minimal");
}

void AppDelegate::showEditor() {
    if (!hasDisplay()) {
        return;
    }
    const QPointer<AppDelegate> delegate(this);
    QuickPanelControls quickPanelControls;
    quickPanelControls.onShowQuickPanel = [delegate] {
        if (delegate) {
            delegate->m_quickPanel->toggleQuickPanel();
        }
    };
    auto* editor = new EditorWindow(
        m_controller->editorState(),
        [delegate] {
            if (delegate) {
                delegate->m_controller->syncEditorLayoutToConnectedIPhones();
            }
        },
        [delegate] {
            if (delegate) {
                delegate->preparePairingCode();
            }
        },
        std::move(quickPanelControls));
    if (m_editorWindow) {
        // Only the content is new; the window keeps its size and place.
        m_editorWindow->setCentralWidget(editor);
    } else {
        m_editorWindow = new QMainWindow;
        m_editorWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_editorWindow->setWindowTitle(QStringLiteral("Kestrane ショートカット編集"));
        m_editorWindow->setCentralWidget(editor);
        // The columns' minimum widths add up to more than the first width.
        const QSize size = editorWindowSize.expandedTo(editor->minimumSizeHint());
        m_editorWindow->resize(size);
        if (const QScreen* screen = m_editorWindow->screen()) {
            m_editorWindow->move(screen->availableGeometry().center() -
                                 QPoint(size.width() / 2, size.height() / 2));
        }
    }
    m_editorWindow->show();
    m_editorWindow->raise();
    m_editorWindow->activateWindow();
}

void AppDelegate::preparePairingCode() {
    m_controller->prepareFreshPairingCodeForDisplay();
    writePairingCodeMemo();
    Q_EMIT pairingCodeRequested(m_controller->pairingCode());
}

} // namespace quorix
