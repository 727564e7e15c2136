#include "QuorixMacCore/EditorWindow/CustomIconRegistrationRow.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtworkView.h"
#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"
#include "QuorixMacCore/Platform/RasterImages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quorix {

namespace {

constexpr int tileInset = 5;
constexpr qreal tileCornerRadius = 10;

/// The icon on a rounded tile.
class IconTile final : public QWidget {
public:
    explicit IconTile(QWidget* parent)
        : QWidget(parent) {
        setFixedSize(CustomIconRegistrationRow::iconSide + 2 * tileInset,
                     CustomIconRegistrationRow::iconSide + 2 * tileInset);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(rect(), tileCornerRadius, tileCornerRadius);
    }
};

std::optional<Bytes> decodedPNG(const QString& path) {
    const auto image = RasterImages::decodedImage(path, CustomIconRegistrationRow::maxPixelSize);
    if (!image) {
        return std::nullopt;
    }
    return RasterImages::pngData(*image);
}

} // namespace

CustomIconRegistrationRow::CustomIconRegistrationRow(ButtonEditing editing,
                                                     const InspectorServices& services,
                                                     QWidget* parent)
    : QWidget(parent)
    , m_editing(std::move(editing))
    , m_services(services)
    , m_icon(nullptr)
    , m_chooseButton(new QPushButton(QStringLiteral("画像を選択"), this))
    , m_spinner(new SpinnerView(this))
    , m_error(new QLabel(QString::fromUtf8(importErrorText), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout();
    auto* tile = new IconTile(this);
    auto* tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(tileInset, tileInset, tileInset, tileInset);
    m_icon = new IconArtworkView(m_editing.state(), tile);
    m_icon->setObjectName(QStringLiteral("buttonIcon"));
    m_icon->setArtworkSize(iconSide);
    tileLayout->addWidget(m_icon);
    row->addWidget(tile);

    auto* column = new QVBoxLayout();
    auto* caption = new QLabel(QStringLiteral("このボタンに好きな画像を設定できます。"), this);
    caption->setWordWrap(true);
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, EditorStyle::secondaryText(palette()));
    caption->setPalette(captionPalette);
    column->addWidget(caption);
    auto* buttonRow = new QHBoxLayout();
    m_chooseButton->setObjectName(QStringLiteral("chooseImageButton"));
    m_chooseButton->setIcon(
        SymbolGlyphs::symbolIcon("photo.on.rectangle", palette().color(QPalette::ButtonText)));
    buttonRow->addWidget(m_chooseButton);
    m_spinner->setObjectName(QStringLiteral("imageImporting"));
    m_spinner->hide();
    buttonRow->addWidget(m_spinner);
    buttonRow->addStretch();
    column->addLayout(buttonRow);
    row->addLayout(column, 1);
    layout->addLayout(row);

    m_error->setObjectName(QStringLiteral("imageImportError"));
    m_error->setWordWrap(true);
    m_error->setFont(EditorStyle::captionFont(font()));
    QPalette errorPalette = m_error->palette();
    errorPalette.setColor(QPalette::WindowText, EditorStyle::destructive());
    m_error->setPalette(errorPalette);
    m_error->hide();
    layout->addWidget(m_error);

    connect(m_chooseButton, &QPushButton::clicked, this, [this] {
        if (!m_services.chooseFile) {
            return;
        }
        QPointer<CustomIconRegistrationRow> self(this);
        m_services.chooseFile(this, FileChoice::image, [self](const std::optional<QString>& path) {
            if (self && path) {
                self->importImage(*path);
            }
        });
    });
    if (const QuorixButtonRecord* button = m_editing.state().selectedButton()) {
        showIcon(button->icon);
    }
}

void CustomIconRegistrationRow::showIcon(const IconRef& icon) {
    m_icon->setIcon(icon);
}

void CustomIconRegistrationRow::importImage(const QString& path) {
    m_isImporting = true;
    m_chooseButton->setEnabled(false);
    m_spinner->show();
    QThreadPool* pool = m_services.taskPool ? m_services.taskPool : QThreadPool::globalInstance();
    whenFinished<std::optional<Bytes>>(
        this, QtConcurrent::run(pool, decodedPNG, path),
        [this](const std::optional<Bytes>& png) { finishImport(png); });
}

void CustomIconRegistrationRow::finishImport(const std::optional<Bytes>& png) {
    m_isImporting = false;
    m_chooseButton->setEnabled(true);
    m_spinner->hide();
    m_error->setVisible(!png);
    if (png) {
        m_editing.apply(InspectorRules::customImageUpdate(*png));
    }
}

} // namespace quorix
