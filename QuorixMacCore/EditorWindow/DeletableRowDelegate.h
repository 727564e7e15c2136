#pragma once

#include <QStyledItemDelegate>

namespace quorix {

/// A row that selects on a click and has a delete button of its own at the trailing end:
/// the button's click deletes without selecting, and the button has a tool tip.
class DeletableRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit DeletableRowDelegate(QString deleteToolTip, QObject* parent = nullptr);

    /// Where the delete button of the row in `item` is.
    virtual QRect deleteButtonRect(const QRect& item) const = 0;

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

Q_SIGNALS:
    void selectRequested(const QModelIndex& index);
    void deleteRequested(const QModelIndex& index);

private:
    QString m_deleteToolTip;
};

} // namespace quorix
