#pragma once

#include <QAbstractListModel>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QHBoxLayout;
class QVBoxLayout;

namespace quorix {

class IconArtworkCache;

/// Calls `done` on `context`'s thread with the future's result once it has one, unless
/// `context` is gone by then.
template <typename Result>
void whenFinished(QObject* context, QFuture<Result> future,
                  std::function<void(const Result&)> done) {
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         if (watcher->future().resultCount() > 0) {
                             done(watcher->future().result());
                         }
                     });
    watcher->setFuture(std::move(future));
}

/// A turning arc shown while slow work runs; it turns only while visible.
class SpinnerView final : public QWidget {
    Q_OBJECT

public:
    explicit SpinnerView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};

/// A search field: a magnifying glass, the placeholder, and a clear button; every edit
/// is reported by `textChanged`.
class MacSearchField final : public QLineEdit {
    Q_OBJECT

public:
    explicit MacSearchField(const QString& placeholder, QWidget* parent = nullptr);
};

/// A titled group of rows, as the inspector's form shows them.
class InspectorSection final : public QWidget {
    Q_OBJECT

public:
    InspectorSection(const QString& title, QWidget* parent = nullptr);

    /// Where the section's rows go.
    QVBoxLayout* rows() const { return m_rows; }
    /// Puts a widget right after the title.
    void addToHeader(QWidget* widget);

private:
    QHBoxLayout* m_header;
    QVBoxLayout* m_rows;
};

/// One row of a choice list: an application's icon or a tinted symbol, a title and a
/// check mark on the current choice.
struct ChoiceRow {
    QString title;
    /// Draws this application's icon; otherwise `symbol` is drawn.
    std::optional<std::string> applicationBundleID;
    std::string symbol;
    bool isCurrent = false;

    bool operator==(const ChoiceRow&) const = default;
};

/// The rows of a choice list.
class ChoiceListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setRows(std::vector<ChoiceRow> rows);
    const std::vector<ChoiceRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<ChoiceRow> m_rows;
};

/// A list of choices at most `maxHeight` points tall, hidden while it has no rows; a click
/// or Return on a row reports it with `chosen`.
class ChoiceListView final : public QListView {
    Q_OBJECT

public:
    static constexpr int iconSize = 22;

    ChoiceListView(IconArtworkCache& artwork, int maxHeight, int rowSpacing,
                   QWidget* parent = nullptr);

    ChoiceListModel& choices() { return m_model; }
    QSize sizeHint() const override;

Q_SIGNALS:
    void chosen(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitHeight();

    ChoiceListModel m_model;
    int m_maxHeight;
};

} // namespace quorix
