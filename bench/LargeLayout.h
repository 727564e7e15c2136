#pragma once

// The size of layout a phone with many photographed icons sends: 20 full pages of
// 18 buttons, each with a custom icon of about 55 KB. The protocol benchmarks take icons of
// noise; the window benchmarks, which decode them, take real pictures (with Qt Gui only).

#include "QuorixProtocol/Models.h"

#include <functional>
#include <random>
#include <string>

#ifdef QT_GUI_LIB
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#endif

namespace quorix::bench {

inline constexpr int largeLayoutPageCount = 20;
inline constexpr int largeLayoutButtonsPerPage = 18;
inline constexpr std::size_t largeLayoutIconBytes = 55 * 1024;

/// Bytes of noise standing in for the `index`th icon; the same on every call.
inline Bytes noiseIcon(int index) {
    std::mt19937_64 generator(index);
    Bytes icon(largeLayoutIconBytes);
    for (auto& byte : icon) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return icon;
}

/// The same layout on every call: its ids come from a fixed seed, its `index`th button's
/// icon from `makeIcon(index)`.
inline LayoutRecord largeLayout(const std::function<Bytes(int index)>& makeIcon = noiseIcon) {
    std::mt19937_64 generator(20260131);
    auto nextUUID = [&generator] {
        UUID uuid;
        for (auto& byte : uuid.bytes) {
            byte = static_cast<std::uint8_t>(generator());
        }
        return uuid;
    };
    LayoutRecord layout{nextUUID(), {}, Theme::liquidGlass, Date{std::chrono::seconds{1769850900}}};
    for (int page = 0; page < largeLayoutPageCount; ++page) {
        PageRecord record{
            nextUUID(), "Page " + std::to_string(page), page, GradientPreset::custom, {}, 6, 3};
        for (int button = 0; button < largeLayoutButtonsPerPage; ++button) {
            record.buttons.push_back(
                {nextUUID(), button,
                 IconRef::custom(makeIcon(page * largeLayoutButtonsPerPage + button)),
                 ColorGradient{"#4facfe", "#00f2fe", 135},
                 ActionSpec::keyboardShortcut({{Modifier::command, Modifier::shift}, "k"})});
        }
        layout.pages.push_back(std::move(record));
    }
    return layout;
}

#ifdef QT_GUI_LIB

/// A 512-pixel picture of about 55 KB as PNG: a gradient with a block of noise.
inline Bytes pictureIcon(int index) {
    constexpr int side = 512;
    constexpr int noiseSide = 120;
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor::fromHsv((index * 37) % 360, 200, 250));
    gradient.setColorAt(1, QColor::fromHsv((index * 37 + 90) % 360, 255, 160));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random{quint32(index)};
    for (int y = 0; y < noiseSide; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y + side / 3));
        for (int x = 0; x < noiseSide; ++x) {
            line[x + side / 3] = 0xff000000U | (random.generate() & 0x00ffffffU);
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return Bytes(png.begin(), png.end());
}

/// The large layout with pictures for icons, made once.
inline const LayoutRecord& picturedLargeLayout() {
    static const LayoutRecord layout = largeLayout(pictureIcon);
    return layout;
}

inline double averageIconKB() {
    std::size_t total = 0;
    for (const PageRecord& page : picturedLargeLayout().pages) {
        for (const QuorixButtonRecord& button : page.buttons) {
            total += std::get<IconRef::Custom>(button.icon.value).data.size();
        }
    }
    return double(total) / (largeLayoutPageCount * largeLayoutButtonsPerPage) / 1000;
}

#endif

} // namespace quorix::bench
