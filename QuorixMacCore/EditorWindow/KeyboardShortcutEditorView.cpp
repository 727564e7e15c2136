#include "QuorixMacCore/EditorWindow/KeyboardShortcutEditorView.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace quorix {

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool holdsCombo(const MacKeyboardShortcutEditor& model, const KeyCombo& combo) {
    return model.modifiers() ==
               std::set<Modifier>(combo.modifiers.begin(), combo.modifiers.end()) &&
           model.key() == combo.key;
}

} // namespace

ShortcutCaptureFilter::ShortcutCaptureFilter(QWidget* view,
                                             std::shared_ptr<NativeKeyCodes> keyCodes,
                                             ShortcutCapture::ModifiersCallback onModifiersChanged,
                                             ShortcutCapture::CaptureCallback onCapture)
    : QObject(view)
    , m_view(view)
    , m_translator(std::move(keyCodes))
    , m_capture(std::move(onModifiersChanged), std::move(onCapture)) {
    qApp->installEventFilter(this);
}

ShortcutCaptureFilter::~ShortcutCaptureFilter() {
    stop();
}

void ShortcutCaptureFilter::stop() {
    qApp->removeEventFilter(this);
    m_view = nullptr;
    m_capture.reset();
    m_translator.reset();
}

bool ShortcutCaptureFilter::isForView(QObject* watched) const {
    // Key events reach the window object first and then the focused widget; taking them
    // at the widget alone sees each event once.
    const auto* target = qobject_cast<const QWidget*>(watched);
    if (!m_view || !target) {
        return false;
    }
    const QWidget* window = m_view->window();
    return target->window() == window && window->isActiveWindow();
}

bool ShortcutCaptureFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
        return false;
    }
    if (!isForView(watched)) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Accepted, so that the window's own shortcuts (undo, copy) do not take the keys
        // the user is recording.
        event->accept();
        return true;
    }
    if (const std::optional<KeyEvent> translated =
            m_translator.translate(*static_cast<QKeyEvent*>(event))) {
        m_capture.handle(*translated);
    }
    return true;
}

KeyboardShortcutEditorView::KeyboardShortcutEditorView(
    const KeyCombo& combo, std::shared_ptr<NativeKeyCodes> keyCodes,
    MacKeyboardShortcutEditor::ChangeCallback onChange, QWidget* parent)
    : QWidget(parent)
    , m_keyCodes(std::move(keyCodes))
    , m_onChange(std::move(onChange))
    , m_model(nullptr)
    , m_field(new QPushButton(this))
    , m_resetButton(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_field->setObjectName(QStringLiteral("shortcutField"));
    m_field->setMinimumHeight(30);
    layout->addWidget(m_field, 1);
    const QString resetHelp = fromView(MacKeyboardShortcutEditor::resetHelpText);
    m_resetButton->setObjectName(QStringLiteral("resetShortcutButton"));
    m_resetButton->setToolTip(resetHelp);
    m_resetButton->setAccessibleName(resetHelp);
    m_resetButton->setAutoRaise(true);
    m_resetButton->setIcon(
        SymbolGlyphs::symbolIcon("arrow.counterclockwise", EditorStyle::secondaryText(palette())));
    layout->addWidget(m_resetButton);

    connect(m_field, &QPushButton::clicked, this, [this] {
        m_model->startRecording();
        m_field->setFocus(Qt::OtherFocusReason);
    });
    connect(m_resetButton, &QToolButton::clicked, this, [this] { m_model->reset(); });
    showCombo(combo);
}

void KeyboardShortcutEditorView::showCombo(const KeyCombo& combo) {
    if (m_model && (m_model->isRecording() || holdsCombo(*m_model, combo))) {
        return;
    }
    if (m_model) {
        // It may be the one reporting the change that led here.
        m_model->deleteLater();
    }
    m_model = new MacKeyboardShortcutEditor(combo, m_onChange, this);
    connect(m_model, &MacKeyboardShortcutEditor::isRecordingChanged, this,
            &KeyboardShortcutEditorView::setCapturing);
    for (const auto signal :
         {&MacKeyboardShortcutEditor::modifiersChanged, &MacKeyboardShortcutEditor::keyChanged,
          &MacKeyboardShortcutEditor::liveModifiersChanged}) {
        connect(m_model, signal, this, &KeyboardShortcutEditorView::refreshField);
    }
    refreshField();
}

void KeyboardShortcutEditorView::refreshField() {
    const QString text = QString::fromStdString(m_model->shortcutFieldText());
    m_field->setText(text);
    m_field->setAccessibleName(text);
}

void KeyboardShortcutEditorView::setCapturing(bool capturing) {
    refreshField();
    if (capturing == (m_capture != nullptr)) {
        return;
    }
    if (!capturing) {
        // The capture may be the caller: let it finish before it goes.
        m_capture->stop();
        m_capture->deleteLater();
        m_capture = nullptr;
        return;
    }
    QPointer<MacKeyboardShortcutEditor> model(m_model);
    m_capture = new ShortcutCaptureFilter(
        this, m_keyCodes,
        [model](const std::vector<Modifier>& held) {
            if (model) {
                model->setLiveModifiers(held);
            }
        },
        [model](const KeyCombo& combo) {
            if (model) {
                model->apply(combo);
            }
        });
}

} // namespace quorix
