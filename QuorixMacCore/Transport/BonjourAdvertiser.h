#pragma once

#include "QuorixMacCore/Platform/ServiceRegistrar.h"

#include <QObject>
#include <QPointer>
#include <QStringView>

#include <memory>
#include <optional>

class QTcpServer;

namespace quorix {

/// Announces a listener on the local network under the device's name, as a bare service
/// without a TXT record. Belongs to the thread that creates it, which must run an
/// event loop (see `ServiceRegistrar`).
class BonjourAdvertiser {
public:
    explicit BonjourAdvertiser(
        std::unique_ptr<ServiceRegistrar> registrar = makeSystemServiceRegistrar());

    /// Announces the port `listener` listens on under the sanitised `deviceName`, of the
    /// type phones browse for, and keeps the listener. The announcement replaces any
    /// earlier one and ends when the listener is destroyed. When nothing can be
    /// announced (no responder, a listener that is not listening) the reason is logged
    /// once and returned, and the program carries on without advertising.
    std::optional<ServiceRegistrationError> attach(QTcpServer* listener, QStringView deviceName);

    /// The listener last attached, while it exists.
    QTcpServer* listener() const { return m_listener; }

private:
    std::unique_ptr<ServiceRegistrar> m_registrar;
    QPointer<QTcpServer> m_listener;
    // Owns the connection to the listener's destruction, so that it ends with us.
    std::unique_ptr<QObject> m_listenerWatch;
};

} // namespace quorix
