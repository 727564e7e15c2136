#include "QuorixMacCore/EditorWindow/DeletableRowDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace quorix {

DeletableRowDelegate::DeletableRowDelegate(QString deleteToolTip, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_deleteToolTip(std::move(deleteToolTip)) {}

bool DeletableRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    // The view hands the delegate the release of a click only: press and release on one row.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (deleteButtonRect(option.rect).contains(mouse->position().toPoint())) {
                Q_EMIT deleteRequested(index);
            } else {
                Q_EMIT selectRequested(index);
            }
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool DeletableRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                     const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip && deleteButtonRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), m_deleteToolTip, view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace quorix
