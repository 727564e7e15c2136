#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"

#include "QuorixMacCore/Support/Waiting.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorix::testing {

namespace {

constexpr std::chrono::seconds daemonStartTimeout{20};
constexpr std::chrono::seconds daemonStopTimeout{10};
constexpr std::chrono::seconds browseTimeout{20};

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

void stop(QProcess& daemon) {
    if (daemon.state() == QProcess::NotRunning) {
        return;
    }
    daemon.terminate();
    if (!daemon.waitForFinished(int(std::chrono::milliseconds(daemonStopTimeout).count()))) {
        daemon.kill();
        daemon.waitForFinished();
    }
}

// Concurrent fixtures share the loopback multicast group: distinct host names spare
// them the conflict dance.
QString uniqueHostName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("kestrane-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

QString busSocketPath() {
    static const QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/kestrane-bus-XXXXXX"));
    return directory.filePath(QStringLiteral("bus"));
}

// avahi-browse writes bytes outside printable ASCII, and its separators, as "\DDD"
// (decimal) and escapes "\" and "." (names) or "\" and "\"" (TXT) with a backslash.
QByteArray unescapedBytes(QStringView text) {
    QByteArray bytes;
    const QByteArray raw = text.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            bytes.append(raw[i]);
            continue;
        }
        const QByteArray digits = raw.mid(i + 1, 3);
        bool isNumber = false;
        const int value = digits.toInt(&isNumber);
        if (digits.size() == 3 && isNumber) {
            bytes.append(char(value));
            i += 3;
        } else {
            bytes.append(raw[++i]);
        }
    }
    return bytes;
}

/// The name avahi-browse prints for a service, unescaped ("\032" is a space, "\." a dot).
QString unescapedBrowseField(QStringView field) {
    return QString::fromUtf8(unescapedBytes(field));
}

/// The TXT strings of avahi-browse's parsable output ("\"a=1\" \"b=2\"").
std::map<QString, QString> parsedBrowseTXT(QStringView field) {
    std::map<QString, QString> txt;
    qsizetype i = 0;
    while (true) {
        const qsizetype open = field.indexOf(u'"', i);
        if (open < 0) {
            break;
        }
        qsizetype close = open + 1;
        while (close < field.size() && field[close] != u'"') {
            close += field[close] == u'\\' ? 2 : 1;
        }
        const QString entry = QString::fromUtf8(
            unescapedBytes(field.sliced(open + 1, std::min(close, field.size()) - open - 1)));
        const qsizetype equals = entry.indexOf(u'=');
        txt[equals < 0 ? entry : entry.left(equals)] =
            equals < 0 ? QString() : entry.mid(equals + 1);
        i = close + 1;
    }
    return txt;
}

} // namespace

QByteArray PrivateDNSSDDaemons::systemBusAddress() {
    const QByteArray address = "unix:path=" + QFile::encodeName(busSocketPath());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    return address;
}

PrivateDNSSDDaemons::PrivateDNSSDDaemons() = default;

PrivateDNSSDDaemons::~PrivateDNSSDDaemons() {
    stopAvahi();
    stopBus();
    if (m_turnLock >= 0) {
        ::close(m_turnLock);
    }
}

std::optional<QString> PrivateDNSSDDaemons::start() {
    if (!m_directory.isValid()) {
        return QStringLiteral("no temporary folder: %1").arg(m_directory.errorString());
    }
    const QByteArray lockPath =
        QFile::encodeName(QDir::tempPath() + QStringLiteral("/kestrane-private-dnssd.lock"));
    m_turnLock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_turnLock < 0 || ::flock(m_turnLock, LOCK_EX) != 0) {
        return QStringLiteral("cannot take the responder turn lock %1")
            .arg(QFile::decodeName(lockPath));
    }
    if (auto error = startBus()) {
        return error;
    }
    return startAvahi();
}

std::optional<QString> PrivateDNSSDDaemons::startBus() {
    systemBusAddress();
    const QString socket = busSocketPath();
    // A daemon that died without cleaning up leaves its socket file behind.
    QFile::remove(socket);
    const QString config = m_directory.filePath(QStringLiteral("bus.conf"));
    const QString text =
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
            "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>system</type>\n"
            "  <listen>unix:path=%1</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow user=\"*\"/>\n"
            "    <allow own=\"*\"/>\n"
            "    <allow send_type=\"method_call\"/>\n"
            "    <allow send_type=\"signal\"/>\n"
            "    <allow send_type=\"method_return\"/>\n"
            "    <allow send_type=\"error\"/>\n"
            "    <allow receive_type=\"method_call\"/>\n"
            "    <allow receive_type=\"signal\"/>\n"
            "    <allow receive_type=\"method_return\"/>\n"
            "    <allow receive_type=\"error\"/>\n"
            "  </policy>\n"
            "</busconfig>\n")
            .arg(socket);
    if (!writeText(config, text)) {
        return QStringLiteral("cannot write %1").arg(config);
    }
    // In the foreground rather than with --fork: as our child it is reaped when it stops,
    // where a forked daemon would linger as a zombie under an init that does not reap.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                 QStringLiteral("--print-pid")});
    // The process id is printed once the bus listens.
    const QDeadlineTimer deadline(daemonStartTimeout);
    while (!m_bus.canReadLine()) {
        if (m_bus.state() == QProcess::NotRunning || deadline.hasExpired()) {
            stopBus();
            return QStringLiteral("dbus-daemon did not start: %1 %2")
                .arg(m_bus.errorString(), QString::fromLocal8Bit(m_bus.readAllStandardError()));
        }
        m_bus.waitForReadyRead(100);
    }
    return std::nullopt;
}

std::optional<QString> PrivateDNSSDDaemons::startAvahi() {
    const QString runDirectory = m_directory.filePath(QStringLiteral("run"));
    const QString config = m_directory.filePath(QStringLiteral("avahi-daemon.conf"));
    const QString text = QStringLiteral("[server]\n"
                                        "host-name=%1\n"
                                        "use-ipv4=yes\n"
                                        "use-ipv6=no\n"
                                        "allow-interfaces=lo\n"
                                        "enable-dbus=yes\n"
                                        "ratelimit-interval-usec=1000000\n"
                                        "ratelimit-burst=1000\n"
                                        "[wide-area]\n"
                                        "enable-wide-area=no\n"
                                        "[publish]\n"
                                        "publish-addresses=yes\n"
                                        "publish-hinfo=no\n"
                                        "publish-workstation=no\n"
                                        "publish-domain=no\n"
                                        "[reflector]\n"
                                        "[rlimits]\n")
                             .arg(uniqueHostName());
    if (!QDir().mkpath(runDirectory) || !writeText(config, text)) {
        return QStringLiteral("cannot write %1").arg(config);
    }
    // The daemon's run directory is fixed at build time; a private /run keeps its pid
    // file and socket in the temporary folder and away from any daemon of the machine.
    const QString script =
        QStringLiteral("mount --make-rprivate / && mount --bind \"$1\" /run && "
                       "exec avahi-daemon -f \"$2\" --no-drop-root --no-chroot --no-rlimits");
    m_avahi.setProcessChannelMode(QProcess::MergedChannels);
    m_avahi.start(QStringLiteral("unshare"),
                  {::geteuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-rm"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"),
                   runDirectory, config});
    if (!m_avahi.waitForStarted()) {
        return QStringLiteral("avahi-daemon did not start: %1").arg(m_avahi.errorString());
    }
    QByteArray output;
    const QDeadlineTimer deadline(daemonStartTimeout);
    while (!output.contains("Server startup complete")) {
        if (m_avahi.state() == QProcess::NotRunning || deadline.hasExpired()) {
            output += m_avahi.readAll();
            stopAvahi();
            return QStringLiteral("avahi-daemon did not become ready:\n%1")
                .arg(QString::fromLocal8Bit(output));
        }
        m_avahi.waitForReadyRead(100);
        output += m_avahi.readAll();
    }
    return std::nullopt;
}

void PrivateDNSSDDaemons::stopAvahi() {
    stop(m_avahi);
}

void PrivateDNSSDDaemons::stopBus() {
    stop(m_bus);
}

std::vector<BrowsedService> PrivateDNSSDDaemons::browse(const QString& type) const {
    QProcess browser;
    browser.start(QStringLiteral("avahi-browse"), {QStringLiteral("-rtp"), type});
    // Runs events meanwhile: a registrar under test hears from the responder through them.
    if (!waitUntil([&] { return browser.state() == QProcess::NotRunning; }, browseTimeout)) {
        browser.kill();
        browser.waitForFinished();
    }

    std::vector<BrowsedService> services;
    const QString output = QString::fromUtf8(browser.readAllStandardOutput());
    for (QStringView line : QStringView(output).split(u'\n', Qt::SkipEmptyParts)) {
        const auto fields = line.split(u';');
        if (fields.size() < 10 || fields[0] != u'=') {
            continue;
        }
        BrowsedService service;
        service.name = unescapedBrowseField(fields[3]);
        service.type = fields[4].toString();
        service.port = quint16(fields[8].toUInt());
        // The TXT field is last and may itself hold semicolons.
        qsizetype txtStart = 0;
        for (int separator = 0; separator < 9; ++separator) {
            txtStart = line.indexOf(u';', txtStart) + 1;
        }
        service.txt = parsedBrowseTXT(line.sliced(txtStart));
        services.push_back(std::move(service));
    }
    return services;
}

std::vector<BrowsedService> PrivateDNSSDDaemons::browseUntil(
    const QString& type, const std::function<bool(const std::vector<BrowsedService>&)>& accept,
    std::chrono::milliseconds timeout) const {
    const QDeadlineTimer deadline(timeout);
    std::vector<BrowsedService> services = browse(type);
    while (!accept(services) && !deadline.hasExpired()) {
        // avahi-browse prints what it knows and exits; give the responders time to learn more.
        waitUntil([] { return false; }, std::chrono::milliseconds(200));
        services = browse(type);
    }
    return services;
}

std::optional<BrowsedService> findService(const std::vector<BrowsedService>& services,
                                          const QString& name) {
    const auto found = std::find_if(services.begin(), services.end(),
                                    [&](const auto& service) { return service.name == name; });
    return found == services.end() ? std::nullopt : std::optional(*found);
}

} // namespace quorix::testing
