#pragma once

#include <QPixmap>
#include <QString>

// The one loader of the images the artwork tables draw (":/<prefix>/<path>").
namespace QuorImages {

// The image at the path. When the application's device pixel ratio is above 1 and the
// high-resolution variant "<base>@2x.<ext>" exists, that one, with device pixel ratio 2;
// otherwise the path itself at ratio 1. Null when neither loads. Either way the pixmap's
// deviceIndependentSize() is the image's logical size.
QPixmap pixmap(const QString& path);

// "<base>@2x.<ext>" for "<base>.<ext>" (the file name's last dot), "<path>@2x" without one.
QString highResolutionPath(const QString& path);

} // namespace QuorImages
