#include "QuorixMacApp/AppDelegate.h"

#include "QuorixMacApp/PairingCodeMemo.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Control/SystemActionExecutor.h"
#include "QuorixMacCore/Platform/UserDefaults.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"
#include "QuorixProtocol/Messages.h"

#include <QPointer>
#include <QSysInfo>

namespace quorix {

AppDelegate::AppDelegate(std::shared_ptr<const ApplicationDirectories> directories, QObject* parent)
    : QObject(parent)
    , m_directories(std::move(directories))
    , m_controller(std::make_unique<QuorixMacServerController>(
          deviceName(), MacEditorLayoutStore(), QuorixNetworkDefaults::preferredPort,
          QuorixMacServerController::Options{
              .securityMode = securityMode(*systemUserDefaultsDomains()->standard())}))
    , m_quickPanelActionExecutor(makeSystemActionExecutor()) {}

AppDelegate::~AppDelegate() = default;

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
}

void AppDelegate::applicationWillTerminate() {
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

} // namespace quorix
