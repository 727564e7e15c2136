#pragma once

// The large layout the window benchmarks open: 20 pages of 18 buttons, each with its own
// custom icon of about 55 KB.

#include "QuorixProtocol/Models.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <string>

namespace quorix::bench {

inline constexpr int pageCount = 20;
inline constexpr int buttonsPerPage = 18;
inline constexpr int iconSide = 512;
// A block of noise this large makes a 512-pixel icon about 55 KB as PNG.
inline constexpr int noiseSide = 120;

inline Bytes iconPNG(int index) {
    QImage image(iconSide, iconSide, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, iconSide, iconSide);
    gradient.setColorAt(0, QColor::fromHsv((index * 37) % 360, 200, 250));
    gradient.setColorAt(1, QColor::fromHsv((index * 37 + 90) % 360, 255, 160));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random{quint32(index)};
    for (int y = 0; y < noiseSide; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y + iconSide / 3));
        for (int x = 0; x < noiseSide; ++x) {
            line[x + iconSide / 3] = 0xff000000U | (random.generate() & 0x00ffffffU);
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return Bytes(png.begin(), png.end());
}

inline const LayoutRecord& largeLayout() {
    static const LayoutRecord layout = [] {
        LayoutRecord made{UUID::random(), {}, Theme::liquidGlass, currentDate()};
        for (int page = 0; page < pageCount; ++page) {
            PageRecord record{UUID::random(), "Page", page, GradientPreset::custom, {}, 6, 3};
            for (int position = 0; position < buttonsPerPage; ++position) {
                record.buttons.push_back(
                    {UUID::random(), position,
                     IconRef::custom(iconPNG(page * buttonsPerPage + position)),
                     ColorGradient{"#ffffff", "#e5e7eb", 135},
                     ActionSpec::launchApp("org.example.App" + std::to_string(position))});
            }
            made.pages.push_back(std::move(record));
        }
        return made;
    }();
    return layout;
}

inline double averageIconKB() {
    std::size_t total = 0;
    for (const PageRecord& page : largeLayout().pages) {
        for (const QuorixButtonRecord& button : page.buttons) {
            total += std::get<IconRef::Custom>(button.icon.value).data.size();
        }
    }
    return double(total) / (pageCount * buttonsPerPage) / 1000;
}

} // namespace quorix::bench
