#include "QuorixMacCore/Transport/TLSCertificateManager.h"

#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using Error = TLSCertificateError;

using test::modeOf;
using test::readFile;

TEST(TLSCertificateManager, firstCallMakesPrivateFilesAndLaterCallsReuseThem) {
    QTemporaryDir root;
    const QDir directory(root.filePath(QStringLiteral("Support/Quorix/M1TLS")));
    const QString p12 = directory.filePath(TLSCertificateManager::pkcs12FileName);
    const QString passphrase = directory.filePath(TLSCertificateManager::passphraseFileName);

    const auto first = TLSCertificateManager(directory.path())
                           .loadOrCreateIdentity(QStringLiteral("Desk/Left+Right\\2"));
    ASSERT_TRUE(first) << first.error().description().toStdString();
    // Neither the unencrypted key nor the certificate stays behind.
    EXPECT_EQ(directory.entryList(QDir::Files),
              (QStringList{QStringLiteral("quorix-local-identity.p12"),
                           QStringLiteral("quorix-local-identity.passphrase")}));
    EXPECT_EQ(std::tuple(modeOf(directory.path()), modeOf(p12), modeOf(passphrase)),
              std::tuple(0700u, 0600u, 0600u));
    EXPECT_EQ(readFile(passphrase).size(), 43);
    EXPECT_EQ(first->certificate.subjectInfo(QSslCertificate::CommonName),
              QStringList{QStringLiteral("Desk-Left+Right\\2")});

    // The fingerprint is what the openssl tool alone computes from the stored file.
    QProcess tool;
    tool.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"),
                QStringLiteral("openssl pkcs12 -in \"$1\" -passin \"file:$2\" -nokeys -legacy | "
                               "openssl x509 -outform DER | sha256sum | cut -c1-64"),
                QStringLiteral("sh"), p12, passphrase});
    ASSERT_TRUE(tool.waitForFinished(60'000));
    EXPECT_EQ(first->fingerprintSHA256 + u'\n', QString::fromLatin1(tool.readAllStandardOutput()));

    // Later calls need no openssl and change nothing.
    const QByteArray stored = readFile(p12);
    const auto again =
        TLSCertificateManager(directory.path(), {}).loadOrCreateIdentity(QStringLiteral("Other"));
    ASSERT_TRUE(again) << again.error().description().toStdString();
    EXPECT_EQ(again->fingerprintSHA256, first->fingerprintSHA256);
    EXPECT_EQ(again->privateKey, first->privateKey);
    EXPECT_EQ(readFile(p12), stored);

    // Without its pass phrase the file stays unreadable and is not replaced.
    ASSERT_TRUE(QFile::remove(passphrase));
    const auto lost = TLSCertificateManager(directory.path()).loadOrCreateIdentity(QString());
    ASSERT_FALSE(lost);
    EXPECT_NE(lost.error().status, 0);
    EXPECT_EQ(lost.error().description(),
              QStringLiteral("PKCS#12 import failed with status %1.").arg(lost.error().status));
    EXPECT_EQ(readFile(p12), stored);
}

TEST(TLSCertificateManager, aFailedOrMissingOpensslIsReportedAndLeavesNoIdentity) {
    const QString certificateStep = QStringLiteral("self-signed certificate generation");
    const struct {
        const char* name;
        // The stand-in tool's shell script; none: no executable openssl on the list.
        std::optional<QString> script;
        Error expected;
        QString description;
    } cases[] = {
        {"the certificate run fails, both streams in one",
         QStringLiteral("echo 'bad subject'; echo 'on stderr' >&2; exit 1"),
         Error::opensslFailed(certificateStep, QStringLiteral("bad subject\non stderr\n")),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: "
                        "bad subject\non stderr\n")},
        // Written relative to the working directory, which is the identity's folder.
        {"the export fails after starting its file",
         QStringLiteral("[ \"$1\" = req ] && exit 0; echo x > quorix-local-identity.p12; "
                        "echo refused; exit 3"),
         Error::opensslFailed(QStringLiteral("PKCS#12 export"), QStringLiteral("refused\n")),
         QStringLiteral("OpenSSL failed during PKCS#12 export: refused\n")},
        {"output that is not UTF-8 is left out", QStringLiteral("printf '\\377'; exit 1"),
         Error::opensslFailed(certificateStep, QString()),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: ")},
        {"a run killed by a signal fails", QStringLiteral("kill -9 $$"),
         Error::opensslFailed(certificateStep, QString()),
         QStringLiteral("OpenSSL failed during self-signed certificate generation: ")},
        {"no executable openssl", std::nullopt, Error::opensslNotFound(),
         QStringLiteral("OpenSSL was not found. Install OpenSSL or run the M1 server with "
                        "--plain for local-only testing.")},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QTemporaryDir root;
        const QDir directory(root.filePath(QStringLiteral("tls")));
        const QString tool =
            test::writeFile(root.filePath(QStringLiteral("openssl")),
                            "#!/bin/sh\n" + testCase.script.value_or(QString()).toUtf8() + '\n',
                            testCase.script.has_value());
        const auto made =
            TLSCertificateManager(directory.path(), {root.filePath(QStringLiteral("none")), tool})
                .loadOrCreateIdentity(QStringLiteral("Desk"));
        ASSERT_FALSE(made);
        EXPECT_EQ(made.error(), testCase.expected);
        EXPECT_EQ(made.error().description(), testCase.description);
        // The next call makes the identity again; a key left meanwhile was never readable.
        EXPECT_FALSE(QFile::exists(directory.filePath(TLSCertificateManager::pkcs12FileName)));
        const QString key = directory.filePath(TLSCertificateManager::keyFileName);
        EXPECT_EQ(modeOf(key), testCase.script ? 0600u : 0u);
    }
}

TEST(TLSCertificateManager, itsFolderLiesBelowApplicationSupportAndImportsOnlyPKCS12) {
    const auto folder =
        TLSCertificateManager::defaultDirectory(RootedApplicationDirectories(QStringLiteral("/r")));
    EXPECT_EQ(folder.value(), QStringLiteral("/r/Application Support/Quorix/M1TLS"));

    const auto imported = TLSCertificateManager::importIdentity("not PKCS#12", QString());
    ASSERT_FALSE(imported);
    EXPECT_EQ(imported.error().kind, Error::Kind::pkcs12ImportFailed);
    EXPECT_NE(imported.error().status, 0);
}

} // namespace
} // namespace quorix
