#include "QuorixMacApp/PairingQRCodeWindow.h"

#include "QuorixMacCore/EditorWindow/EditorStyle.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorix {

namespace {

constexpr int calloutPixelSize = 12;

// The shadow under the square: black at 16 %, blurred over 18 points, 8 points down.
constexpr qreal shadowOpacity = 0.16;
constexpr qreal shadowBlurRadius = 18;
constexpr QPointF shadowOffset{0, 8};

// The spinner: a ring of strokes, one brighter per step, turning once a second.
constexpr int spinnerStrokes = 12;
constexpr std::chrono::milliseconds spinnerStepInterval{1000 / spinnerStrokes};
constexpr qreal spinnerRadius = 14;
constexpr qreal spinnerStrokeLength = 6;

} // namespace

PairingQRCodeSquare::PairingQRCodeSquare(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("pairingQRCode"));
    setFixedSize(side, side);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, shadowOpacity));
    shadow->setBlurRadius(shadowBlurRadius);
    shadow->setOffset(shadowOffset);
    setGraphicsEffect(shadow);
    m_spinner.setInterval(spinnerStepInterval);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % spinnerStrokes;
        update();
    });
    m_spinner.start();
}

void PairingQRCodeSquare::setImage(std::optional<QImage> image) {
    m_image = std::move(image);
    if (m_image) {
        m_spinner.stop();
    } else {
        m_spinner.start();
    }
    update();
}

void PairingQRCodeSquare::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(square, Qt::white);

    const QRectF inner = QRectF(rect()).adjusted(codeInset, codeInset, -codeInset, -codeInset);
    if (m_image) {
        // Modules must stay crisp squares for a camera to read them.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawImage(inner, *m_image);
        return;
    }
    const QPointF centre = inner.center();
    for (int stroke = 0; stroke < spinnerStrokes; ++stroke) {
        const int age = (m_spinnerStep - stroke + spinnerStrokes) % spinnerStrokes;
        QColor color(Qt::gray);
        color.setAlphaF(1.0 - static_cast<qreal>(age) / spinnerStrokes * 0.85);
        painter.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.translate(centre);
        painter.rotate(360.0 * stroke / spinnerStrokes);
        painter.drawLine(QPointF(0, -spinnerRadius),
                         QPointF(0, -spinnerRadius + spinnerStrokeLength));
        painter.restore();
    }
}

PairingQRCodeWindow::PairingQRCodeWindow(std::function<void()> onRefresh, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint)
    , m_square(new PairingQRCodeSquare(this)) {
    setObjectName(QStringLiteral("pairingWindow"));
    setWindowTitle(QStringLiteral("Kestrane QR"));
    setFont(EditorStyle::editorFont());
    setFixedSize(windowSize);

    auto* title = new QLabel(QStringLiteral("スマホで読み取る"), this);
    title->setObjectName(QStringLiteral("pairingTitle"));
    title->setFont(EditorStyle::secondTitleFont(font()));

    auto* caption = new QLabel(QStringLiteral("Kestraneのアプリから読み取ってください"), this);
    caption->setObjectName(QStringLiteral("pairingCaption"));
    QFont callout = font();
    callout.setPixelSize(calloutPixelSize);
    caption->setFont(callout);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFixedWidth(std::min(captionMaximumWidth, windowSize.width() - 2 * inset));
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, EditorStyle::secondaryText(palette()));
    caption->setPalette(captionPalette);

    auto* refresh = new QPushButton(QStringLiteral("新しいQRにする"), this);
    refresh->setObjectName(QStringLiteral("refreshPairingCodeButton"));
    connect(refresh, &QPushButton::clicked, this, [onRefresh = std::move(onRefresh)] {
        if (onRefresh) {
            onRefresh();
        }
    });

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(spacing);
    // The stack is centred in the fixed frame; where the platform's controls are taller
    // than the design's, the space above and below gives way, not the spacing.
    layout->setContentsMargins(inset, 0, inset, 0);
    layout->addStretch();
    for (QWidget* widget : {static_cast<QWidget*>(title), static_cast<QWidget*>(m_square),
                            static_cast<QWidget*>(caption), static_cast<QWidget*>(refresh)}) {
        layout->addWidget(widget, 0, Qt::AlignHCenter);
    }
    layout->addStretch();
}

void PairingQRCodeWindow::setQRImage(std::optional<QImage> image) {
    m_square->setImage(std::move(image));
}

} // namespace quorix
