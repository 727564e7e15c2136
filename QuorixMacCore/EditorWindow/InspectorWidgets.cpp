#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorix {

namespace {

constexpr int spinnerStepMilliseconds = 80;
constexpr int spinnerStepDegrees = 30;
constexpr int rowHorizontalInset = 6;
constexpr int rowVerticalInset = 4;
constexpr int checkmarkSize = 14;

class ChoiceRowDelegate final : public QStyledItemDelegate {
public:
    ChoiceRowDelegate(IconArtworkCache& artwork, int rowSpacing, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_artwork(artwork)
        , m_rowSpacing(rowSpacing) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(),
                ChoiceListView::iconSize + 2 * rowVerticalInset + m_rowSpacing};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* model = static_cast<const ChoiceListModel*>(index.model());
        const ChoiceRow& row = model->rows().at(static_cast<std::size_t>(index.row()));
        const QRect cell = option.rect.adjusted(0, 0, 0, -m_rowSpacing);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(EditorStyle::withOpacity(EditorStyle::accent(option.palette), 0.12));
            painter->drawRoundedRect(cell, 6, 6);
        }
        const QRectF icon(cell.left() + rowHorizontalInset,
                          cell.center().y() - ChoiceListView::iconSize / 2.0,
                          ChoiceListView::iconSize, ChoiceListView::iconSize);
        const QColor tint = EditorStyle::accent(option.palette);
        if (row.applicationBundleID) {
            paintIconArtwork(*painter, icon, IconRef::appIcon(*row.applicationBundleID), tint,
                             m_artwork);
        } else {
            SymbolGlyphs::paintSymbol(*painter, icon, row.symbol, tint);
        }
        const QRectF check(cell.right() - rowHorizontalInset - checkmarkSize,
                           cell.center().y() - checkmarkSize / 2.0, checkmarkSize, checkmarkSize);
        if (row.isCurrent) {
            SymbolGlyphs::paintSymbol(*painter, check, "checkmark", tint);
        }
        const QRectF text(icon.right() + 8, cell.top(), check.left() - icon.right() - 16,
                          cell.height());
        painter->setFont(EditorStyle::bodyFont(option.font));
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(
            text, Qt::AlignVCenter | Qt::AlignLeft,
            option.fontMetrics.elidedText(row.title, Qt::ElideRight, int(text.width())));
        painter->restore();
    }

private:
    IconArtworkCache& m_artwork;
    int m_rowSpacing;
};

} // namespace

SpinnerView::SpinnerView(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(sizeHint());
    m_timer.setInterval(spinnerStepMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + spinnerStepDegrees) % 360;
        update();
    });
}

void SpinnerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(EditorStyle::secondaryText(palette()), 2);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF arc = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.drawArc(arc, -m_angle * 16, 270 * 16);
}

void SpinnerView::showEvent(QShowEvent*) {
    m_timer.start();
}

void SpinnerView::hideEvent(QHideEvent*) {
    m_timer.stop();
}

MacSearchField::MacSearchField(const QString& placeholder, QWidget* parent)
    : QLineEdit(parent) {
    setPlaceholderText(placeholder);
    setAccessibleName(placeholder);
    setClearButtonEnabled(true);
    addAction(SymbolGlyphs::symbolIcon("magnifyingglass", EditorStyle::secondaryText(palette())),
              QLineEdit::LeadingPosition);
}

InspectorSection::InspectorSection(const QString& title, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_header = new QHBoxLayout();
    m_header->setContentsMargins(4, 0, 0, 0);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setFont(EditorStyle::headlineFont(font()));
    m_header->addWidget(titleLabel);
    m_header->addStretch();
    layout->addLayout(m_header);

    auto* body = new QFrame(this);
    body->setObjectName(QStringLiteral("sectionBody"));
    body->setAutoFillBackground(true);
    QPalette bodyPalette = body->palette();
    bodyPalette.setColor(QPalette::Window,
                         EditorStyle::withOpacity(bodyPalette.color(QPalette::Base),
                                                  EditorStyle::groupedBackgroundOpacity));
    body->setPalette(bodyPalette);
    body->setFrameShape(QFrame::StyledPanel);
    m_rows = new QVBoxLayout(body);
    m_rows->setContentsMargins(10, 8, 10, 8);
    m_rows->setSpacing(8);
    layout->addWidget(body);
}

void InspectorSection::addToHeader(QWidget* widget) {
    m_header->insertWidget(m_header->count() - 1, widget);
}

void ChoiceListModel::setRows(std::vector<ChoiceRow> rows) {
    if (rows == m_rows) {
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ChoiceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ChoiceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ChoiceRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.title;
    case Qt::CheckStateRole:
        return row.isCurrent ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

ChoiceListView::ChoiceListView(IconArtworkCache& artwork, int maxHeight, int rowSpacing,
                               QWidget* parent)
    : QListView(parent)
    , m_maxHeight(maxHeight) {
    setModel(&m_model);
    setItemDelegate(new ChoiceRowDelegate(artwork, rowSpacing, this));
    setUniformItemSizes(true);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&artwork, &IconArtworkCache::pictureArrived, viewport(), qOverload<>(&QWidget::update));
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { Q_EMIT chosen(index.row()); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ChoiceListView::fitHeight);
    fitHeight();
}

void ChoiceListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid()) {
        Q_EMIT chosen(currentIndex().row());
        return;
    }
    QListView::keyPressEvent(event);
}

QSize ChoiceListView::sizeHint() const {
    const int rows = m_model.rowCount();
    const int rowHeight = rows == 0 ? 0 : sizeHintForRow(0);
    return {QListView::sizeHint().width(), std::min(m_maxHeight, rows * rowHeight)};
}

void ChoiceListView::fitHeight() {
    setVisible(m_model.rowCount() > 0);
    setFixedHeight(sizeHint().height());
}

} // namespace quorix
