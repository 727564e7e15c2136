#include "QuorixMacCore/Platform/ServiceRegistrar.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTextBoundaryFinder>
#include <QTimer>

#include <arpa/inet.h>
#include <dns_sd.h>
#include <mutex>

namespace quorix {

namespace {

// A TXT string is one length byte followed by "key=value".
constexpr qsizetype maxTXTStringBytes = 255;
// An instance name is one DNS label.
constexpr qsizetype maxInstanceNameBytes = 63;

// Names are cut by characters upstream, but a label is counted in bytes: 30 kana are
// 90 bytes, which the responder refuses outright. Cut at the last whole character that
// fits instead of not advertising at all.
QByteArray fittedInstanceName(const QString& name) {
    QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= maxInstanceNameBytes) {
        return utf8;
    }
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype fits = 0;
    while (characters.toNextBoundary() != -1 &&
           QStringView(name).first(characters.position()).toUtf8().size() <= maxInstanceNameBytes) {
        fits = characters.position();
    }
    return QStringView(name).first(fits).trimmed().toUtf8();
}

void silenceCompatibilityBanner() {
    // Avahi's Bonjour layer prints a warning about itself to standard error on first use
    // unless told not to; users of this program have nothing to do about it.
    static std::once_flag once;
    std::call_once(once, [] { qputenv("AVAHI_COMPAT_NOWARN", "1"); });
}

class TXTRecord {
public:
    TXTRecord() { TXTRecordCreate(&m_record, 0, nullptr); }
    ~TXTRecord() { TXTRecordDeallocate(&m_record); }
    TXTRecord(const TXTRecord&) = delete;
    TXTRecord& operator=(const TXTRecord&) = delete;

    DNSServiceErrorType set(const TXTRecordEntry& entry) {
        const QByteArray key = entry.key.toUtf8();
        const QByteArray value = entry.value.toUtf8();
        // Checked here because the value's length is passed as one byte: a longer value
        // would be cut silently instead of refused.
        if (key.isEmpty() || key.contains('=') || key.contains('\0') ||
            key.size() + 1 + value.size() > maxTXTStringBytes) {
            return kDNSServiceErr_Invalid;
        }
        return TXTRecordSetValue(&m_record, key.constData(), std::uint8_t(value.size()),
                                 value.constData());
    }

    std::uint16_t length() const { return TXTRecordGetLength(&m_record); }
    const void* bytes() const { return TXTRecordGetBytesPtr(&m_record); }

private:
    TXTRecordRef m_record{};
};

class DNSSDServiceRegistrar final : public ServiceRegistrar {
public:
    ~DNSSDServiceRegistrar() override { unregister(); }

    std::optional<ServiceRegistrationError>
    registerService(const ServiceRegistration& registration) override {
        unregister();
        silenceCompatibilityBanner();

        TXTRecord txt;
        for (const TXTRecordEntry& entry : registration.txtRecord) {
            if (const DNSServiceErrorType error = txt.set(entry); error != kDNSServiceErr_NoError) {
                return ServiceRegistrationError{error};
            }
        }
        const QByteArray name = fittedInstanceName(registration.name);
        const QByteArray type = registration.type.toUtf8();
        DNSServiceRef service = nullptr;
        const DNSServiceErrorType error = DNSServiceRegister(
            &service, 0, kDNSServiceInterfaceIndexAny, name.isEmpty() ? nullptr : name.constData(),
            type.constData(), nullptr, nullptr, htons(registration.port),
            registration.txtRecord.empty() ? 0 : txt.length(),
            registration.txtRecord.empty() ? nullptr : txt.bytes(), &DNSSDServiceRegistrar::reply,
            this);
        if (error != kDNSServiceErr_NoError) {
            return ServiceRegistrationError{error};
        }
        m_service = service;
        ++m_generation;
        m_notifier =
            new QSocketNotifier(DNSServiceRefSockFD(service), QSocketNotifier::Read, &m_context);
        QObject::connect(m_notifier, &QSocketNotifier::activated, &m_context,
                         [this] { processReply(); });
        return std::nullopt;
    }

    void unregister() override {
        if (!m_service) {
            return;
        }
        // The notifier watches the reference's socket, which deallocation closes; it may
        // be the very notifier whose signal is being handled, so it is deleted later.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        DNSServiceRefDeallocate(m_service);
        m_service = nullptr;
        ++m_generation;
    }

    bool isRegistered() const override { return m_service != nullptr; }

private:
    static void DNSSD_API reply(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType error,
                                const char* name, const char*, const char*, void* context) {
        auto* self = static_cast<DNSSDServiceRegistrar*>(context);
        self->m_pendingError = error;
        self->m_pendingName = QString::fromUtf8(name ? name : "");
        self->m_replyArrived = true;
    }

    void processReply() {
        m_replyArrived = false;
        const DNSServiceErrorType processed = DNSServiceProcessResult(m_service);
        const std::uint64_t generation = m_generation;
        if (processed != kDNSServiceErr_NoError) {
            unregister();
            deliver(generation + 1, {}, processed);
            return;
        }
        if (!m_replyArrived) {
            return;
        }
        if (m_pendingError != kDNSServiceErr_NoError) {
            unregister();
            deliver(generation + 1, {}, m_pendingError);
            return;
        }
        deliver(generation, m_pendingName, kDNSServiceErr_NoError);
    }

    // Callers may re-register or destroy the registrar from their callback, which must
    // not happen inside the responder library's own call; stale news from a replaced
    // registration is dropped.
    void deliver(std::uint64_t generation, const QString& name, DNSServiceErrorType error) {
        QTimer::singleShot(0, &m_context, [this, generation, name, error] {
            if (generation != m_generation) {
                return;
            }
            if (error == kDNSServiceErr_NoError) {
                if (onRegistered) {
                    onRegistered(name);
                }
            } else if (onFailed) {
                onFailed(ServiceRegistrationError{error});
            }
        });
    }

    QObject m_context;
    DNSServiceRef m_service = nullptr;
    QPointer<QSocketNotifier> m_notifier;
    std::uint64_t m_generation = 0;

    bool m_replyArrived = false;
    DNSServiceErrorType m_pendingError = kDNSServiceErr_NoError;
    QString m_pendingName;
};

} // namespace

std::unique_ptr<ServiceRegistrar> makeSystemServiceRegistrar() {
    return std::make_unique<DNSSDServiceRegistrar>();
}

} // namespace quorix
