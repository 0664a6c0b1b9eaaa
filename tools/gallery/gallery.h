#pragma once

#include <QImage>
#include <QStringList>

class CMeskUiStyle;

// Draws the contact sheet of the product style over the common style: one labelled row per style role or
// control, one cell per look (normal, hover, pressed, disabled, right-to-left). cellNames receives "row/look"
// for every cell. Only rows whose name contains filter are drawn (all rows for an empty filter).
QImage renderGallery(CMeskUiStyle* style, QStringList* cellNames, const QString& filter = QString());
