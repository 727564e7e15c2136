#include "QuorixMacCore/Control/QuorixMacServerController.h"

#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Control/ControlLogging.h"
#include "QuorixMacCore/Control/SystemActionExecutor.h"
#include "QuorixMacCore/Editor/WebIconResolver.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Pairing/PairingTokenStores.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Transport/TransportSecurityMode.h"

#include <QCoreApplication>
#include <QPointer>

namespace quorix {

namespace {

Expected<TLSIdentityBundle, TLSCertificateError> makeDefaultTLSIdentity(const QString& commonName) {
    const Expected<QString, TLSCertificateError> directory =
        TLSCertificateManager::defaultDirectory(*systemApplicationDirectories());
    if (!directory) {
        return directory.error();
    }
    return TLSCertificateManager(*directory).loadOrCreateIdentity(commonName);
}

} // namespace

QuorixMacServerController::QuorixMacServerController(QString deviceName,
                                                     MacEditorLayoutStore editorLayoutStore,
                                                     std::uint16_t preferredPort, Options options,
                                                     QObject* parent)
    : QObject(parent)
    , m_deviceName(std::move(deviceName))
    , m_preferredPort(preferredPort)
    , m_options(std::move(options))
    , m_lastSyncMessage(SyncStatusText::notSynced.toString())
    , m_installedAppsScanner(std::make_shared<InstalledAppsScanner>())
    , m_webIconResolver(m_options.webIconResolver ? m_options.webIconResolver
                                                  : std::make_shared<WebIconResolver>()) {
    m_autoSyncTimer.setSingleShot(true);
    connect(&m_autoSyncTimer, &QTimer::timeout, this,
            &QuorixMacServerController::autoSyncTimerFired);

    std::optional<LayoutRecord> stored = editorLayoutStore.load();
    if (!stored) {
        const auto& clock = m_options.editorStateOptions.clock;
        stored = defaultLayout(clock ? clock() : currentDate());
    }
    m_editorState = std::make_unique<MacEditorState>(
        std::move(*stored), SyncStatusText::notSynced.toString(), m_installedAppsScanner,
        std::move(editorLayoutStore), m_webIconResolver, m_options.editorStateOptions);

    m_editorState->setOnDirty([controller = QPointer(this)] {
        if (controller) {
            controller->scheduleAutoSync(editSyncDelay);
        }
    });
    m_editorState->resolveWebIconsForCurrentLayout();
}

QuorixMacServerController::~QuorixMacServerController() {
    stop();
}

LayoutRecord QuorixMacServerController::defaultLayout(Date now) {
    PageRecord page;
    page.id = UUID::random();
    page.name = "ページ 1";
    page.order = 0;
    page.gradient = GradientPreset::custom;
    page.gridColumns = 3;
    page.gridRows = 5;

    LayoutRecord layout;
    layout.id = UUID::random();
    layout.pages.push_back(std::move(page));
    layout.updatedAt = now;
    return layout;
}

void QuorixMacServerController::start() {
    stop();

    // A secure run without an identity still receives, in plain TCP: phones that pair
    // without TLS keep working, and the reason shows as the last error.
    const bool secure = m_options.securityMode == TransportSecurityMode::secureSelfSigned;
    const std::optional<TLSCertificateError> identityFailure =
        secure ? prepareTLSIdentity() : std::nullopt;
    const std::optional<TLSIdentityBundle> identity = secure ? m_tlsIdentity : std::nullopt;

    auto service =
        std::make_shared<PairingService>(PairingConfiguration::standard, makeTokenStore());
    const QString code = QString::fromStdString(service->issueNewCode());

    auto server = std::make_unique<WebSocketServer>(
        m_deviceName, service, makeActionExecutor(), m_installedAppsScanner,
        identity ? TransportSecurityMode::secureSelfSigned
                 : TransportSecurityMode::plaintextForLocalTesting,
        identity, code, m_options.serverOptions);

    // The server calls back on its connection thread, where the controller must not be
    // touched. The application object is the one context sure to outlive any queued call;
    // a call that arrives after the controller is gone, or after this run ended, does
    // nothing.
    const auto inThisRun = [weakSelf = QPointer(this), run = m_run](auto work) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weakSelf, run, work = std::move(work)]() mutable {
                if (weakSelf && weakSelf->m_run == run) {
                    work(*weakSelf);
                }
            },
            Qt::QueuedConnection);
    };
    server->setOnAuthenticated([inThisRun] {
        inThisRun([](QuorixMacServerController& self) { self.phoneAuthenticated(); });
    });
    server->setOnLayoutUpdate([inThisRun](LayoutRecord layout) {
        inThisRun([layout = std::move(layout)](QuorixMacServerController& self) mutable {
            self.phoneSentLayout(std::move(layout));
        });
    });

    const Expected<std::uint16_t, WebSocketServerError> started =
        server->start(m_preferredPort, m_options.advertiseBonjour);
    if (!started) {
        qCWarning(lcControl).noquote()
            << "The receiver did not start:" << started.error().description();
        setLastError(started.error().description());
        setIsRunning(false);
        return;
    }

    m_pairingService = std::move(service);
    m_server = std::move(server);
    setPort(*started);
    setPairingCode(code);
    setFingerprint(identity ? identity->fingerprintSHA256 : QString());
    setIsRunning(true);
    setLastError(identityFailure ? std::optional(identityFailure->description()) : std::nullopt);
    setStatus(SyncStatusText::waitingForPhone);
    setHasReceivedIPhoneLayout(false);
}

void QuorixMacServerController::stop() {
    ++m_run;
    m_autoSyncTimer.stop();
    if (m_server) {
        m_server->stop();
        m_server.reset();
    }
    m_pairingService.reset();
    setIsRunning(false);
    setPort(std::nullopt);
    setPairingCode(QString());
    setHasReceivedIPhoneLayout(false);
}

void QuorixMacServerController::refreshPairingCode() {
    if (!m_pairingService) {
        start();
        return;
    }
    const QString code = QString::fromStdString(m_pairingService->issueNewCode());
    setPairingCode(code);
    if (m_server) {
        m_server->updatePairingCode(code);
    }
}

void QuorixMacServerController::prepareFreshPairingCodeForDisplay() {
    if (m_isRunning && m_pairingService) {
        refreshPairingCode();
    } else {
        start();
    }
}

void QuorixMacServerController::syncEditorLayoutToConnectedIPhones() {
    if (!m_server) {
        setStatus(SyncStatusText::notRunning);
        return;
    }
    const std::optional<LayoutRecord>& pending = m_editorState->pendingSyncLayout();
    const int reached =
        m_server->broadcastLayoutChanged(pending ? *pending : m_editorState->layout());
    if (reached == 0) {
        setStatus(SyncStatusText::noPhoneConnected);
        return;
    }
    m_editorState->markSynced();
    setStatus(SyncStatusText::synced);
}

void QuorixMacServerController::scheduleAutoSync(std::chrono::milliseconds delay) {
    m_autoSyncTimer.start(delay);
}

void QuorixMacServerController::autoSyncTimerFired() {
    if (m_editorState->pendingSyncLayout()) {
        syncEditorLayoutToConnectedIPhones();
    }
}

void QuorixMacServerController::phoneAuthenticated() {
    setStatus(SyncStatusText::phoneConnected);
    if (m_onPairingCompleted) {
        m_onPairingCompleted();
    }
}

void QuorixMacServerController::phoneSentLayout(LayoutRecord layout) {
    if (m_editorState->replaceLayoutIfNoPendingChanges(std::move(layout))) {
        setStatus(SyncStatusText::phoneLayoutAdopted);
    } else {
        setStatus(SyncStatusText::keepingUnsentEdits);
        scheduleAutoSync(refusedLayoutSyncDelay);
    }
    setHasReceivedIPhoneLayout(true);
}

std::shared_ptr<ActionExecuting> QuorixMacServerController::makeActionExecutor() const {
    if (m_options.makeActionExecutor) {
        return m_options.makeActionExecutor();
    }
    return makeSystemActionExecutor();
}

std::shared_ptr<PairingTokenStore> QuorixMacServerController::makeTokenStore() const {
    return m_options.makeTokenStore ? m_options.makeTokenStore() : PairingTokenStores::persistent();
}

std::optional<TLSCertificateError> QuorixMacServerController::prepareTLSIdentity() {
    if (m_tlsIdentity) {
        return std::nullopt;
    }
    Expected<TLSIdentityBundle, TLSCertificateError> made =
        m_options.makeTLSIdentity ? m_options.makeTLSIdentity(m_deviceName)
                                  : makeDefaultTLSIdentity(m_deviceName);
    if (!made) {
        qCWarning(lcControl).noquote() << "Receiving without TLS:" << made.error().description();
        return made.error();
    }
    m_tlsIdentity = std::move(made).value();
    return std::nullopt;
}

void QuorixMacServerController::setIsRunning(bool value) {
    if (m_isRunning != value) {
        m_isRunning = value;
        Q_EMIT isRunningChanged();
    }
}

void QuorixMacServerController::setPort(std::optional<std::uint16_t> value) {
    if (m_port != value) {
        m_port = value;
        Q_EMIT portChanged();
    }
}

void QuorixMacServerController::setPairingCode(const QString& value) {
    if (m_pairingCode != value) {
        m_pairingCode = value;
        Q_EMIT pairingCodeChanged();
    }
}

void QuorixMacServerController::setFingerprint(const QString& value) {
    if (m_fingerprint != value) {
        m_fingerprint = value;
        Q_EMIT fingerprintChanged();
    }
}

void QuorixMacServerController::setLastError(const std::optional<QString>& value) {
    if (m_lastError != value) {
        m_lastError = value;
        Q_EMIT lastErrorChanged();
    }
}

void QuorixMacServerController::setHasReceivedIPhoneLayout(bool value) {
    if (m_hasReceivedIPhoneLayout != value) {
        m_hasReceivedIPhoneLayout = value;
        Q_EMIT hasReceivedIPhoneLayoutChanged();
    }
}

void QuorixMacServerController::setStatus(QStringView text) {
    if (m_lastSyncMessage != text) {
        m_lastSyncMessage = text.toString();
        Q_EMIT lastSyncMessageChanged();
    }
    m_editorState->setSyncStatusText(text.toString());
}

} // namespace quorix
