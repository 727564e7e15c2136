#pragma once

#include <QColor>
#include <QWidget>

#include <string>

namespace quorix {

/// A system symbol in a colour, filling a square of `side` points.
class SymbolView final : public QWidget {
    Q_OBJECT

public:
    SymbolView(std::string symbolName, int side, QColor color, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_symbolName;
    QColor m_color;
};

} // namespace quorix
