#include "QuorixMacApp/PairingQRCode.h"

#include "QuorixMacApp/PairingQRCodeWindow.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

// What a camera reads off `image`, through zbar; the bytes as they were encoded.
std::optional<QByteArray> readBack(const QImage& image) {
    // Readers want a quiet zone of four modules around the code.
    constexpr int margin = 4 * PairingQRCode::moduleScale;
    QImage framed(image.size() + QSize(2 * margin, 2 * margin), QImage::Format_Grayscale8);
    framed.fill(Qt::white);
    QPainter(&framed).drawImage(margin, margin, image);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("code.png"));
    if (!framed.save(path)) {
        return std::nullopt;
    }
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"),
                                           QStringLiteral("-Sbinary"), path});
    if (!zbar.waitForFinished(30'000) || zbar.exitStatus() != QProcess::NormalExit ||
        zbar.exitCode() != 0) {
        ADD_FAILURE() << "zbarimg: " << zbar.errorString().toStdString() << " "
                      << zbar.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return zbar.readAllStandardOutput();
}

TEST(PairingQRCode, payloadTakesTheFingerprintOnlyWhenThereIsOne) {
    const PairingQRCodePayload plain = PairingQRCode::payload(
        {QStringLiteral("desk"), QStringLiteral("123456"), QString(), std::nullopt, std::nullopt});
    EXPECT_EQ(plain, (PairingQRCodePayload{"desk", "123456", std::nullopt, std::nullopt,
                                           std::nullopt, false}));
    EXPECT_EQ(*ProtocolJSON::encode(plain),
              R"({"code":"123456","serviceName":"desk","usesSecureTransport":false})");

    const PairingQRCodePayload secure =
        PairingQRCode::payload({QStringLiteral("desk"), QStringLiteral("654321"),
                                QStringLiteral("ab12"), QStringLiteral("192.168.1.20"), 47532});
    EXPECT_EQ(secure, (PairingQRCodePayload{"desk", "654321", "ab12", "192.168.1.20",
                                            std::uint16_t{47532}, true}));
}

TEST(PairingQRCode, imageReadsBackAsTheExactPayload) {
    const std::vector<PairingQRCodePayload> payloads{
        {"desk", "000123", std::nullopt, std::nullopt, std::nullopt, false},
        {"studio-mac", "987654", std::nullopt, "10.0.0.2", std::uint16_t{47532}, false},
        {"スタジオのパソコン \"2\"", "555555", std::string(64, 'f'), "192.168.100.200",
         std::uint16_t{65535}, true},
    };
    for (const PairingQRCodePayload& payload : payloads) {
        SCOPED_TRACE(payload.serviceName);
        const std::optional<QImage> image = PairingQRCode::makeQRCodeImage(payload);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width() % PairingQRCode::moduleScale, 0);
        EXPECT_EQ(image->width(), image->height());
        const std::optional<QByteArray> read = readBack(*image);
        ASSERT_TRUE(read);
        const QByteArray expected = QByteArray::fromStdString(*ProtocolJSON::encode(payload));
        EXPECT_EQ(read->trimmed(), expected);
        EXPECT_EQ(ProtocolJSON::decodePairingQRCodePayload(read->trimmed().toStdString()).value(),
                  payload);
    }
}

TEST(PairingQRCode, scalingKeepsModulesSharp) {
    const PairingQRCodePayload payload{"x", "1"};
    const std::optional<QImage> modules =
        PairingQRCode::modules(QByteArray::fromStdString(*ProtocolJSON::encode(payload)));
    const std::optional<QImage> image = PairingQRCode::makeQRCodeImage(payload);
    ASSERT_TRUE(modules && image);
    EXPECT_EQ(image->width(), modules->width() * PairingQRCode::moduleScale);
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            const int gray = qGray(image->pixel(x, y));
            ASSERT_TRUE(gray == 0 || gray == 255) << "blended pixel at " << x << "," << y;
        }
    }
    // Far more than any code holds.
    EXPECT_FALSE(PairingQRCode::modules(QByteArray(8000, 'a')));
}

TEST(PairingQRCodeWindow, showsTheSpinnerUntilThereIsACode) {
    int refreshes = 0;
    PairingQRCodeWindow window([&] { ++refreshes; });
    EXPECT_EQ(window.size(), PairingQRCodeWindow::windowSize);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrane QR"));
    EXPECT_TRUE(window.square().isSpinning());
    window.setQRImage(PairingQRCode::makeQRCodeImage({"x", "1"}));
    EXPECT_FALSE(window.square().isSpinning());
    window.setQRImage(std::nullopt);
    EXPECT_TRUE(window.square().isSpinning());
    window.findChild<QPushButton*>(QStringLiteral("refreshPairingCodeButton"))->click();
    EXPECT_EQ(refreshes, 1);
}

} // namespace
} // namespace quorix
