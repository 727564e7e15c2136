#include "QuorixMacCore/Transport/BonjourAdvertiser.h"

#include "QuorixMacCore/Transport/BonjourService.h"
#include "QuorixMacCore/Transport/TransportLogging.h"

#include <QTcpServer>

namespace quorix {

namespace {

// The dns_sd value for an operation asked at the wrong time.
constexpr int badStateError = -65542;

} // namespace

BonjourAdvertiser::BonjourAdvertiser(std::unique_ptr<ServiceRegistrar> registrar)
    : m_registrar(std::move(registrar)) {
    m_registrar->onFailed = [](const ServiceRegistrationError& error) {
        qCWarning(lcTransport).noquote()
            << QStringLiteral("Stopped advertising on the local network: %1")
                   .arg(error.description());
    };
}

std::optional<ServiceRegistrationError> BonjourAdvertiser::attach(QTcpServer* listener,
                                                                  QStringView deviceName) {
    m_listenerWatch.reset();
    m_registrar->unregister();
    m_listener = listener;
    const QString name = BonjourService::sanitizedServiceName(deviceName);

    std::optional<ServiceRegistrationError> error;
    if (!listener || !listener->isListening()) {
        error = ServiceRegistrationError{badStateError};
    } else {
        error = m_registrar->registerService(
            {name, QString(BonjourService::type), listener->serverPort(), {}});
    }
    if (error) {
        qCWarning(lcTransport).noquote()
            << QStringLiteral("Not advertising \"%1\" on the local network: %2")
                   .arg(name, error->description());
        return error;
    }
    m_listenerWatch = std::make_unique<QObject>();
    QObject::connect(listener, &QObject::destroyed, m_listenerWatch.get(),
                     [this] { m_registrar->unregister(); });
    return std::nullopt;
}

} // namespace quorix
