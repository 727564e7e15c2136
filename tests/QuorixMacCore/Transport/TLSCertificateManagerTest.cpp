#include "QuorixMacCore/Transport/TLSCertificateManager.h"

#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Support/TestTLSIdentity.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorix {
namespace {

using Error = TLSCertificateError;
using ::testing::ElementsAre;

const QString p12Name = QString(TLSCertificateManager::pkcs12FileName);
const QString passphraseName = QString(TLSCertificateManager::passphraseFileName);

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The permission bits of a path, as `ls -l` shows them in octal.
unsigned modeOf(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777 : 0;
}

QStringList filesIn(const QString& directory) {
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

/// An executable shell script standing in for openssl.
QString standInTool(const QTemporaryDir& root, const QString& body) {
    const QString path = root.filePath(QStringLiteral("openssl"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
    file.close();
    EXPECT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    return path;
}

/// SHA-256 of the certificate in a PKCS#12 file, computed by the openssl tool alone.
QString fingerprintByTheTool(const QString& p12Path, const QString& passphrasePath) {
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("openssl pkcs12 -in \"$1\" -passin \"file:$2\" -nokeys -legacy | "
                                "openssl x509 -outform DER | sha256sum"),
                 QStringLiteral("sh"), p12Path, passphrasePath});
    EXPECT_TRUE(shell.waitForFinished(60'000));
    return QString::fromLatin1(shell.readAllStandardOutput().left(64));
}

TEST(TLSCertificateManager, firstCallMakesPrivateFilesAndLaterCallsReuseThem) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString directory = root.filePath(QStringLiteral("Support/Quorix/M1TLS"));
    const QString p12Path = QDir(directory).filePath(p12Name);
    const QString passphrasePath = QDir(directory).filePath(passphraseName);

    const auto first =
        TLSCertificateManager(directory).loadOrCreateIdentity(QStringLiteral("Desk/Left+Right\\2"));
    ASSERT_TRUE(first) << first.error().description().toStdString();
    // Neither the unencrypted key nor the certificate stays behind.
    EXPECT_THAT(filesIn(directory), ElementsAre(p12Name, passphraseName));
    EXPECT_EQ(modeOf(directory), 0700u);
    EXPECT_EQ(modeOf(p12Path), 0600u);
    EXPECT_EQ(modeOf(passphrasePath), 0600u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$"))
                    .match(QString::fromLatin1(contentOf(passphrasePath)))
                    .hasMatch());

    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(first->fingerprintSHA256)
                    .hasMatch());
    EXPECT_EQ(first->fingerprintSHA256, fingerprintByTheTool(p12Path, passphrasePath));
    EXPECT_EQ(first->certificate.subjectInfo(QSslCertificate::CommonName),
              QStringList{QStringLiteral("Desk-Left+Right\\2")});
    EXPECT_EQ(first->privateKey.algorithm(), QSsl::Rsa);
    EXPECT_EQ(first->privateKey.length(), 2048);

    // Without any openssl to run, the stored identity still loads, unchanged.
    const QByteArray storedP12 = contentOf(p12Path);
    const QByteArray storedPassphrase = contentOf(passphrasePath);
    const auto again =
        TLSCertificateManager(directory, {}).loadOrCreateIdentity(QStringLiteral("Another Name"));
    ASSERT_TRUE(again) << again.error().description().toStdString();
    EXPECT_EQ(again->fingerprintSHA256, first->fingerprintSHA256);
    EXPECT_EQ(again->privateKey, first->privateKey);
    EXPECT_THAT(filesIn(directory), ElementsAre(p12Name, passphraseName));
    EXPECT_EQ(contentOf(p12Path), storedP12);
    EXPECT_EQ(contentOf(passphrasePath), storedPassphrase);

    // A lost pass phrase leaves the identity unreadable; nothing is made anew over it.
    ASSERT_TRUE(QFile::remove(passphrasePath));
    const auto lost = TLSCertificateManager(directory).loadOrCreateIdentity(QString());
    ASSERT_FALSE(lost);
    EXPECT_EQ(lost.error().kind, Error::Kind::pkcs12ImportFailed);
    EXPECT_EQ(contentOf(p12Path), storedP12);
}

TEST(TLSCertificateManager, opensslRunsWithTheDesignedArgumentsInItsFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString directory = root.filePath(QStringLiteral("tls"));
    const QString log = root.filePath(QStringLiteral("log"));
    // Records the folder, the key file's mode at the time and every argument; the export
    // fails so that nothing needs to be imported.
    const QString tool = standInTool(
        root, QStringLiteral("{ pwd; [ \"$1\" = req ] && stat -c %a \"${10}\"; printf '%s\\n' "
                             "\"$@\"; } >> '") +
                  log + QStringLiteral("'\n[ \"$1\" = req ]"));

    const auto made =
        TLSCertificateManager(directory, {tool}).loadOrCreateIdentity(QStringLiteral("a/b"));
    ASSERT_FALSE(made);
    EXPECT_EQ(made.error(), Error::opensslFailed(QStringLiteral("PKCS#12 export"), QString()));

    const QString key = QDir(directory).filePath(QStringLiteral("quorix-local.key"));
    const QString certificate = QDir(directory).filePath(QStringLiteral("quorix-local.crt"));
    const QString passphrase =
        QString::fromUtf8(contentOf(QDir(directory).filePath(passphraseName)));
    const QStringList expected =
        QStringList{directory, QStringLiteral("600")} +
        QStringLiteral("req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes -keyout").split(u' ') +
        QStringList{key,
                    QStringLiteral("-out"),
                    certificate,
                    QStringLiteral("-subj"),
                    QStringLiteral("/CN=a-b"),
                    directory} +
        QStringLiteral("pkcs12 -export -inkey").split(u' ') +
        QStringList{key,
                    QStringLiteral("-in"),
                    certificate,
                    QStringLiteral("-out"),
                    QDir(directory).filePath(p12Name),
                    QStringLiteral("-passout"),
                    QStringLiteral("pass:") + passphrase,
                    QStringLiteral("-legacy")};
    EXPECT_EQ(QString::fromUtf8(contentOf(log)).split(u'\n', Qt::SkipEmptyParts), expected);
}

TEST(TLSCertificateManager, aFailedRunIsReportedWithWhatTheToolPrinted) {
    const QString certificateStep = QStringLiteral("self-signed certificate generation");
    const struct {
        const char* name;
        QString script;
        Error expected;
        QString description;
    } cases[] = {
        {"the certificate run fails, both streams in one",
         QStringLiteral("echo 'req: bad subject'; echo 'on stderr' >&2; exit 1"),
         Error::opensslFailed(certificateStep, QStringLiteral("req: bad subject\non stderr\n")),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: "
                        "req: bad subject\non stderr\n")},
        {"the export fails after starting its file",
         QStringLiteral("[ \"$1\" = req ] && exit 0; echo partial > %1; echo refused; exit 3")
             .arg(p12Name),
         Error::opensslFailed(QStringLiteral("PKCS#12 export"), QStringLiteral("refused\n")),
         QStringLiteral("OpenSSL failed during PKCS#12 export: refused\n")},
        {"output that is not UTF-8 is left out", QStringLiteral("printf '\\377\\376'; exit 1"),
         Error::opensslFailed(certificateStep, QString()),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: ")},
        {"a run killed by a signal fails", QStringLiteral("echo dying; kill -9 $$"),
         Error::opensslFailed(certificateStep, QStringLiteral("dying\n")),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: dying\n")},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString directory = root.filePath(QStringLiteral("tls"));
        const QString tool = standInTool(root, testCase.script);
        const auto made =
            TLSCertificateManager(directory, {tool}).loadOrCreateIdentity(QStringLiteral("Desk"));
        ASSERT_FALSE(made);
        EXPECT_EQ(made.error(), testCase.expected);
        EXPECT_EQ(made.error().description(), testCase.description);
        // Whatever a failed run left, the next call makes the identity again.
        EXPECT_FALSE(QFile::exists(QDir(directory).filePath(p12Name)));
    }
}

TEST(TLSCertificateManager, withoutAnExecutableOpensslNothingRuns) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString plainFile = root.filePath(QStringLiteral("not-executable"));
    QFile(plainFile).open(QIODevice::WriteOnly);
    const QStringList candidates{root.filePath(QStringLiteral("missing")), plainFile, root.path()};

    const auto made = TLSCertificateManager(root.filePath(QStringLiteral("tls")), candidates)
                          .loadOrCreateIdentity(QStringLiteral("Desk"));
    ASSERT_FALSE(made);
    EXPECT_EQ(made.error(), Error::opensslNotFound());
    EXPECT_EQ(made.error().description(),
              QStringLiteral("OpenSSL was not found. Install OpenSSL or run the M1 server with "
                             "--plain for local-only testing."));
}

TEST(TLSCertificateManager, importRefusesWhatHoldsNoUsableIdentity) {
    const TLSIdentityBundle& identity = testing::sharedTestIdentity();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString certificatePath = root.filePath(QStringLiteral("certificate.pem"));
    const QString certificateOnlyPath = root.filePath(QStringLiteral("certificate-only.p12"));
    QFile certificateFile(certificatePath);
    ASSERT_TRUE(certificateFile.open(QIODevice::WriteOnly));
    certificateFile.write(identity.certificate.toPem());
    certificateFile.close();
    QProcess openssl;
    openssl.start(QStringLiteral("/usr/bin/openssl"),
                  QStringLiteral("pkcs12 -export -nokeys -passout pass:x -legacy -in").split(u' ') +
                      QStringList{certificatePath, QStringLiteral("-out"), certificateOnlyPath});
    ASSERT_TRUE(openssl.waitForFinished(60'000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    const QByteArray certificateOnly = contentOf(certificateOnlyPath);

    // A well-formed file under another pass phrase fails like garbage: both say why in
    // OpenSSL's code.
    const struct {
        const char* name;
        QByteArray bytes;
        QString passphrase;
        Error::Kind expected;
    } cases[] = {
        {"not PKCS#12 at all", QByteArrayLiteral("not a PKCS#12 file"), QStringLiteral("x"),
         Error::Kind::pkcs12ImportFailed},
        {"another pass phrase", certificateOnly, QStringLiteral("y"),
         Error::Kind::pkcs12ImportFailed},
        {"a certificate without its key", certificateOnly, QStringLiteral("x"),
         Error::Kind::missingIdentity},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const auto imported =
            TLSCertificateManager::importIdentity(testCase.bytes, testCase.passphrase);
        ASSERT_FALSE(imported);
        EXPECT_EQ(imported.error().kind, testCase.expected);
        if (testCase.expected == Error::Kind::pkcs12ImportFailed) {
            EXPECT_NE(imported.error().status, 0);
            EXPECT_EQ(imported.error().description(),
                      QStringLiteral("PKCS#12 import failed with status %1.")
                          .arg(imported.error().status));
        } else {
            EXPECT_EQ(imported.error().description(),
                      QStringLiteral("The generated PKCS#12 file did not contain a SecIdentity."));
        }
    }
}

TEST(TLSCertificateManager, theDefaultFolderLiesBelowApplicationSupport) {
    const auto rooted =
        TLSCertificateManager::defaultDirectory(RootedApplicationDirectories(QStringLiteral("/r")));
    ASSERT_TRUE(rooted);
    EXPECT_EQ(*rooted, QStringLiteral("/r/Application Support/Quorix/M1TLS"));

    class NoApplicationSupport final : public ApplicationDirectories {
    public:
        std::optional<QString> applicationSupportDirectory() const override { return {}; }
        QString temporaryDirectory() const override { return QStringLiteral("/tmp"); }
    };
    const auto none = TLSCertificateManager::defaultDirectory(NoApplicationSupport());
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error(), Error::applicationSupportUnavailable());
    EXPECT_EQ(none.error().description(),
              QStringLiteral("Application Support directory could not be resolved."));
}

} // namespace
} // namespace quorix
