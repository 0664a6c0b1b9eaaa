#pragma once

#include "style/quorcommonstyle.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <memory>

// Helpers shared by the style tests.
namespace styletest {

// An image of the style, read back from the compiled-in resources.
inline QPixmap image(const QString& path)
{
    return QPixmap(CQuorCommonStyle::imageRoot() + path);
}

inline QSize imageSize(const QString& path)
{
    return image(path).size();
}

// A widget carrying the style role (without the common prefix); an empty role sets nothing.
inline std::unique_ptr<QWidget> roleWidget(const QString& role, QWidget* parent = nullptr)
{
    auto widget = std::make_unique<QWidget>(parent);
    if (!role.isEmpty())
        widget->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.") + role);
    return widget;
}

} // namespace styletest
