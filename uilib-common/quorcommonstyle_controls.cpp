// Control elements and complex controls drawn from the style's images.

#include "quorcommonstyle.h"

#include <QPainter>
#include <QStyleOption>

void CQuorCommonStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
}

void CQuorCommonStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                          QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}
