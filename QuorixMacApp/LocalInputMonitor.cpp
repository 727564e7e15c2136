#include "QuorixMacApp/LocalInputMonitor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace quorix {

namespace {

// One notch of an ordinary wheel, in the toolkit's eighths of a degree.
constexpr double angleDeltaPerLine = 120;

InputEvents::Time timeOf(const QInputEvent& event) {
    // The server's milliseconds, as the global monitor's events carry them.
    return InputEvents::Time(
        std::chrono::milliseconds(static_cast<std::int64_t>(event.timestamp())));
}

} // namespace

LocalInputMonitor::LocalInputMonitor(std::shared_ptr<NativeKeyCodes> keyCodes, Handlers handlers,
                                     QObject* parent)
    : QObject(parent)
    , m_translator(std::move(keyCodes))
    , m_handlers(std::move(handlers)) {
    qApp->installEventFilter(this);
}

LocalInputMonitor::~LocalInputMonitor() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

InputEvents::MouseDown LocalInputMonitor::mouseDown(const QMouseEvent& event) {
    using Button = InputEvents::MouseDown::Button;
    const Button button = event.button() == Qt::LeftButton    ? Button::left
                          : event.button() == Qt::RightButton ? Button::right
                                                              : Button::other;
    return InputEvents::MouseDown{button, event.globalPosition(), timeOf(event)};
}

std::optional<InputEvents::Scroll> LocalInputMonitor::scroll(const QWheelEvent& event) {
    InputEvents::Scroll scroll;
    if (!event.pixelDelta().isNull()) {
        scroll.hasPreciseDeltas = true;
        scroll.deltaX = event.pixelDelta().x();
        scroll.deltaY = event.pixelDelta().y();
    } else if (!event.angleDelta().isNull()) {
        scroll.deltaX = event.angleDelta().x() / angleDeltaPerLine;
        scroll.deltaY = event.angleDelta().y() / angleDeltaPerLine;
    } else {
        return std::nullopt;
    }
    if (event.phase() == Qt::ScrollMomentum) {
        scroll.momentumPhase = InputEvents::ScrollPhase::changed;
    } else {
        scroll.phase = InputEvents::scrollPhase(event.phase());
    }
    scroll.globalPosition = event.globalPosition();
    scroll.time = timeOf(event);
    return scroll;
}

bool LocalInputMonitor::eventFilter(QObject* watched, QEvent* event) {
    // Every input event reaches its window first and then the widgets inside it; looking at
    // the window's copy alone sees each event once.
    if (!watched->isWindowType()) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return keyEvent(*static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
        return m_handlers.mouseDown &&
               m_handlers.mouseDown(mouseDown(*static_cast<QMouseEvent*>(event)));
    case QEvent::Wheel:
        if (m_handlers.scroll) {
            const std::optional<InputEvents::Scroll> step =
                scroll(*static_cast<QWheelEvent*>(event));
            return step && m_handlers.scroll(*step);
        }
        return false;
    default:
        return false;
    }
}

bool LocalInputMonitor::keyEvent(const QKeyEvent& event) {
    const std::optional<KeyEvent> key = m_translator.translate(event);
    if (!key) {
        return false;
    }
    if (key->type == KeyEvent::Type::modifiersChanged) {
        if (m_handlers.modifierFlagsChanged) {
            m_handlers.modifierFlagsChanged(
                InputEvents::ModifierFlagsChanged{key->keyCode, key->modifierFlags, key->time});
        }
        return false;
    }
    if (key->keyCode != InputEvents::escapeKeyCode || !m_handlers.keyDown) {
        return false;
    }
    return m_handlers.keyDown(InputEvents::KeyDown{key->keyCode, key->modifierFlags, key->time});
}

} // namespace quorix
