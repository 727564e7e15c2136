#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorix {

/// One key of a DNS-SD TXT record; records keep their keys in the order given.
struct TXTRecordEntry {
    QString key;
    QString value;

    bool operator==(const TXTRecordEntry&) const = default;
};

/// A service to announce on the local network by DNS-SD.
struct ServiceRegistration {
    /// Instance name. One longer than a DNS label (63 bytes of UTF-8) is cut at the last
    /// whole character that fits; the responder may pick another name after a conflict.
    QString name;
    /// Service type such as "_http._tcp".
    QString type;
    std::uint16_t port = 0;
    /// Empty: the service has no TXT record.
    std::vector<TXTRecordEntry> txtRecord;

    bool operator==(const ServiceRegistration&) const = default;
};

/// Why the responder refused or dropped a registration, with its own error value.
struct ServiceRegistrationError {
    /// A DNS-SD error value such as -65537.
    int code = 0;

    /// "DNS-SD registration failed with error -65537 (no responder answered)."
    QString description() const;

    bool operator==(const ServiceRegistrationError&) const = default;
};

/// Announces at most one service at a time. It belongs to the thread that creates it:
/// call and destroy it there, and let that thread run an event loop, since the
/// responder's replies arrive through it.
class ServiceRegistrar {
public:
    virtual ~ServiceRegistrar() = default;

    /// Announces `registration`, first withdrawing whatever this registrar announced.
    /// An error means nothing is announced now; the caller carries on without. Blocks
    /// while the responder takes the request, which is quick when it runs and fails at
    /// once when it does not.
    virtual std::optional<ServiceRegistrationError>
    registerService(const ServiceRegistration& registration) = 0;

    /// Withdraws the announcement, if there is one.
    virtual void unregister() = 0;

    /// Whether an announcement is in place or on its way.
    virtual bool isRegistered() const = 0;

    /// Called on the registrar's thread when the responder confirmed the announcement,
    /// with the instance name it settled on.
    std::function<void(const QString& name)> onRegistered;
    /// Called on the registrar's thread when the responder dropped an announcement it
    /// had accepted; nothing is announced any more.
    std::function<void(const ServiceRegistrationError& error)> onFailed;
};

/// The system's DNS-SD responder, through the Bonjour-compatible dns_sd interface.
std::unique_ptr<ServiceRegistrar> makeSystemServiceRegistrar();

} // namespace quorix
