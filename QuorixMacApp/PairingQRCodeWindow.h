#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;

namespace quorix {

/// The white rounded square that carries the pairing code, or a spinner while there is
/// none.
class PairingQRCodeSquare final : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 260;
    static constexpr qreal cornerRadius = 24;
    /// White space between the square's edge and the code: the code's quiet zone.
    static constexpr int codeInset = 22;

    explicit PairingQRCodeSquare(QWidget* parent = nullptr);

    void setImage(std::optional<QImage> image);
    const std::optional<QImage>& image() const { return m_image; }
    bool isSpinning() const { return m_spinner.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> m_image;
    QTimer m_spinner;
    int m_spinnerStep = 0;
};

/// The window that shows the pairing code for a phone to read, with a button for a new
/// code.
class PairingQRCodeWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize windowSize{360, 420};
    static constexpr int spacing = 18;
    static constexpr int inset = 28;
    static constexpr int captionMaximumWidth = 280;

    explicit PairingQRCodeWindow(std::function<void()> onRefresh, QWidget* parent = nullptr);

    /// Replaces the code shown; nothing shows the spinner.
    void setQRImage(std::optional<QImage> image);
    const PairingQRCodeSquare& square() const { return *m_square; }

private:
    PairingQRCodeSquare* m_square;
};

} // namespace quorix
