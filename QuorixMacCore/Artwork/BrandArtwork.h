#pragma once

#include "QuorixMacCore/Editor/WebBrandIcons.h"
#include "QuorixProtocol/Foundation.h"

#include <QRectF>

#include <optional>

class QPainter;

/// Built-in tiles that stand in for the site icons of a few well-known services: a rounded
/// square in the brand's colour with a simple mark of our own drawing.
namespace quorix::BrandArtwork {

using Brand = WebBrand;

/// Corner radius of a tile as a share of its side.
inline constexpr qreal tileCornerRatio = 0.2237;

/// The brand whose tile the editor draws for a web icon of `url`: the four brands whose
/// buttons never fetch a site icon.
std::optional<Brand> editorBrand(const URL& url);

/// The brand whose tile the quick panel draws for a web icon of `url`: any of the five, by
/// the address's own host.
std::optional<Brand> quickPanelBrand(const URL& url);

/// Paints the brand's tile as the largest square that fits into `rect`, centred in it.
void paintTile(QPainter& painter, const QRectF& rect, Brand brand);

} // namespace quorix::BrandArtwork
