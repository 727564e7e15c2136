#include "QuorixMacCore/Support/TestTLSIdentity.h"

#include "QuorixMacCore/Transport/TLSCertificateManager.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix::testing {

const TLSIdentityBundle& sharedTestIdentity() {
    static const QTemporaryDir directory;
    static const Expected<TLSIdentityBundle, TLSCertificateError> made =
        TLSCertificateManager(directory.path()).loadOrCreateIdentity(QStringLiteral("Test Desk"));
    static const TLSIdentityBundle none;
    EXPECT_TRUE(made) << made.error().description().toStdString();
    return made ? *made : none;
}

} // namespace quorix::testing
