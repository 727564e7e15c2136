#include "QuorixMacCore/Transport/BonjourAdvertiser.h"

#include "QuorixMacCore/Support/WebSocketServerHarness.h"

#include <QTcpServer>

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(BonjourAdvertiser, announcesTheListenerUntilItIsGoneOrSaysOnceWhyNot) {
    const auto log = std::make_shared<testing::RegistrarLog>();
    BonjourAdvertiser advertiser(std::make_unique<testing::RecordingRegistrar>(log));
    auto listener = std::make_unique<QTcpServer>();
    ASSERT_TRUE(listener->listen(QHostAddress::LocalHost));
    ASSERT_EQ(advertiser.attach(listener.get(), u" \nKestrane Desk\t"), std::nullopt);
    EXPECT_EQ(advertiser.listener(), listener.get());
    const ServiceRegistration announced{QStringLiteral("Kestrane Desk"),
                                        QStringLiteral("_quorix._tcp"),
                                        listener->serverPort(),
                                        {}};
    EXPECT_EQ(log->registrations, std::vector{announced});
    listener.reset();
    EXPECT_EQ(advertiser.listener(), nullptr);
    EXPECT_EQ(log->unregistrations, 1);

    // When nothing can be announced, it says why once and keeps the listener.
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    QTcpServer idle;
    log->refusal = ServiceRegistrationError{-65537};
    for (const auto& [refused, code] : {std::pair{&listening, -65537}, std::pair{&idle, -65542}}) {
        std::optional<ServiceRegistrationError> error;
        const QStringList warnings =
            testing::warningsDuring([&] { error = advertiser.attach(refused, u"Desk"); });
        ASSERT_TRUE(error) << code;
        EXPECT_EQ(error->code, code);
        EXPECT_EQ(advertiser.listener(), refused);
        EXPECT_EQ(warnings,
                  QStringList(QStringLiteral("Not advertising \"Desk\" on the local network: ") +
                              error->description()));
    }
}

} // namespace
} // namespace quorix
