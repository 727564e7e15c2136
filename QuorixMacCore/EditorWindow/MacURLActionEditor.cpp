#include "QuorixMacCore/EditorWindow/MacURLActionEditor.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/ActionSummary.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace quorix {

namespace {

QString fieldText(const std::optional<URL>& url) {
    if (!url || url->absoluteString() == placeholderWebAddress) {
        return {};
    }
    return QString::fromStdString(url->absoluteString());
}

} // namespace

MacURLActionEditor::MacURLActionEditor(const std::optional<URL>& url,
                                       std::function<void(const URL&)> onChange, QWidget* parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
    , m_clearButton(new QToolButton(this))
    , m_onChange(std::move(onChange)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("URL"), this);
    label->setBuddy(m_field);
    layout->addWidget(label);

    m_field->setObjectName(QStringLiteral("urlField"));
    m_field->setAccessibleName(QStringLiteral("URL"));
    m_field->setPlaceholderText(
        QString::fromUtf8(placeholderWebAddress.data(), qsizetype(placeholderWebAddress.size())));
    m_field->setText(fieldText(url));
    layout->addWidget(m_field, 1);

    m_clearButton->setObjectName(QStringLiteral("clearURLButton"));
    m_clearButton->setToolTip(QStringLiteral("URLを消去"));
    m_clearButton->setAccessibleName(QStringLiteral("URLを消去"));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setIcon(
        SymbolGlyphs::symbolIcon("xmark.circle.fill", EditorStyle::secondaryText(palette())));
    m_clearButton->setIconSize(QSize(EditorStyle::smallSymbolSize, EditorStyle::smallSymbolSize));
    m_clearButton->setVisible(!m_field->text().isEmpty());
    layout->addWidget(m_clearButton);

    connect(m_field, &QLineEdit::textEdited, this, &MacURLActionEditor::edited);
    connect(m_field, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_clearButton->setVisible(!text.isEmpty()); });
    connect(m_clearButton, &QToolButton::clicked, this, [this] {
        m_field->clear();
        m_field->setFocus();
    });
}

void MacURLActionEditor::showURL(const std::optional<URL>& url) {
    const std::optional<URL> typed = InspectorRules::typedURL(m_field->text());
    if (typed == url || (!typed && fieldText(url).isEmpty())) {
        return;
    }
    m_field->setText(fieldText(url));
}

void MacURLActionEditor::edited(const QString& text) {
    if (const std::optional<URL> url = InspectorRules::typedURL(text)) {
        m_onChange(*url);
    }
}

} // namespace quorix
