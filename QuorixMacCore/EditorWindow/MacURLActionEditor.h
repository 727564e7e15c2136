#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QToolButton;

namespace quorix {

/// The web action's editor: a URL field whose every edit that forms an address is
/// reported, and a button that empties it.
class MacURLActionEditor final : public QWidget {
    Q_OBJECT

public:
    /// Starts with `url` in the field; the placeholder address leaves it empty so that it
    /// shows as the prompt.
    MacURLActionEditor(const std::optional<URL>& url, std::function<void(const URL&)> onChange,
                       QWidget* parent = nullptr);

    /// The button's address changed elsewhere (undo): the field follows unless its text
    /// already stands for that address.
    void showURL(const std::optional<URL>& url);

private:
    void edited(const QString& text);

    QLineEdit* m_field;
    QToolButton* m_clearButton;
    std::function<void(const URL&)> m_onChange;
};

} // namespace quorix
