#pragma once

#include "style/quorcommonstyle.h"

#include <QStyleHintReturnMask>

// The common style, sure to answer the shadow image and, when set, a window mask of its own.
class ShadowTestStyle : public CQuorCommonStyle
{
public:
    QPixmap standardPixmap(StandardPixmap id, const QStyleOption* option,
                           const QWidget* widget) const override
    {
        QPixmap pixmap = CQuorCommonStyle::standardPixmap(id, option, widget);
        if (id == SP_CustomBase && noShadowImage)
            return {};
        if (id == SP_CustomBase && pixmap.isNull())
            pixmap = QPixmap(imageRoot() + QStringLiteral("MainWindow/mainframe-shadow.png"));
        return pixmap;
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_WindowFrame_Mask && useMask) {
            if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData))
                mask->region = maskRegion;
            return 1;
        }
        return CQuorCommonStyle::styleHint(hint, option, widget, returnData);
    }

    bool noShadowImage = false;
    bool useMask = false;
    QRegion maskRegion;
};
