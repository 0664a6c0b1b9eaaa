#pragma once

// Style options and hint records understood by CQuorCommonStyle. Each has its own type (or a
// version no plain Qt option carries), so the style reads them with qstyleoption_cast and never
// mistakes a plain Qt option or hint record for one of them.

#include "style/quorpainting.h"

#include <QFont>
#include <QMap>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStyleOption>

// A text label drawn by the style (control element CE_CustomBase).
class CQuorTextLabelOption : public QStyleOption
{
public:
    enum StyleOptionType
    {
        Type = SO_CustomBase + 1
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    CQuorTextLabelOption() : QStyleOption(Version, Type) {}

    bool fade = false;
    bool shadow = false;
    QString text;
    Qt::Alignment alignment;
};

// Where the arrow of an arrowed tooltip sits: Qt::AlignLeft on the left side (else the right),
// Qt::AlignHCenter centred, Qt::AlignTop on the top edge (else the bottom).
class CQuorStyleOptionArrowTip : public QStyleOption
{
public:
    enum StyleOptionType
    {
        Type = SO_CustomBase + 2
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    CQuorStyleOptionArrowTip() : QStyleOption(Version, Type) {}

    Qt::Alignment arrowAlignment;
};

// The background of a popup frame: a nine-patch image and its margins. A null pixmap asks for
// the style's default popup background.
class CQuorStyleOptionPopupFrame : public QStyleOption
{
public:
    enum StyleOptionType
    {
        Type = SO_CustomBase + 3
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    CQuorStyleOptionPopupFrame() : QStyleOption(Version, Type) {}

    QPixmap backgroundPixmap;
    SNinePatchMargins backgroundMargins;
};

// One frame of the wait animation (0 to 7).
class CQuorStyleOptionAnimationFrame : public QStyleOption
{
public:
    enum StyleOptionType
    {
        Type = SO_CustomBase + 4
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    CQuorStyleOptionAnimationFrame() : QStyleOption(Version, Type) {}

    int frame = 0;
};

// An item of the style's list views. Its version is above that of every plain item-view option,
// so a plain one never passes for it, while Qt's own casts to QStyleOptionViewItem accept it.
class CQuorStyleOptionListItem : public QStyleOptionViewItem
{
public:
    enum StyleOptionType
    {
        Type = SO_ViewItem
    };
    enum StyleOptionVersion
    {
        Version = 0x100
    };

    CQuorStyleOptionListItem() { version = Version; }
    explicit CQuorStyleOptionListItem(const QStyleOptionViewItem& other) : QStyleOptionViewItem(other)
    {
        version = Version;
    }

    bool checkHovered = false; // the check box is under the mouse
    bool iconActive = false;   // the custom icon is shown
    bool separator = false;    // a separator line is drawn above the item
};

// A phased progress bar: the range minimum..maximum counts the phases, progress is the index of
// the current phase. The version is above that of every plain progress-bar option.
class CQuorStyleOptionPhasedProgressBar : public QStyleOptionProgressBar
{
public:
    enum StyleOptionType
    {
        Type = SO_ProgressBar
    };
    enum StyleOptionVersion
    {
        Version = 0x100
    };

    CQuorStyleOptionPhasedProgressBar() { version = Version; }
    explicit CQuorStyleOptionPhasedProgressBar(const QStyleOptionProgressBar& other)
        : QStyleOptionProgressBar(other)
    {
        version = Version;
    }

    QMap<int, QString> phaseLabels; // label text by phase index
    bool dark = false;              // the current phase uses the dark images
};

// Custom hint SH_CustomBase + 0: the recorded size of a standard or custom pixmap. The size
// stays invalid when the style has none.
struct SQuorSizeHintReturn : public QStyleHintReturn
{
    enum StyleOptionType
    {
        Type = 0xF100
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    explicit SQuorSizeHintReturn(int id = 0) : QStyleHintReturn(Version, Type), pixmapId(id) {}

    int pixmapId = 0; // in: a QStyle::StandardPixmap value
    QSize size;       // out
};

// Custom hint SH_CustomBase + 4: content margins of a widget.
struct SQuorMarginsHintReturn : public QStyleHintReturn
{
    enum StyleOptionType
    {
        Type = 0xF101
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    SQuorMarginsHintReturn() : QStyleHintReturn(Version, Type) {}

    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Custom hint SH_CustomBase + 5: a font role applied to a font and palette.
struct SQuorFontHintReturn : public QStyleHintReturn
{
    enum StyleOptionType
    {
        Type = 0xF102
    };
    enum StyleOptionVersion
    {
        Version = 1
    };

    SQuorFontHintReturn() : QStyleHintReturn(Version, Type) {}
    SQuorFontHintReturn(const QString& role, const QFont& f, const QPalette& p)
        : QStyleHintReturn(Version, Type), fontRole(role), font(f), palette(p)
    {
    }

    QString fontRole; // in
    QFont font;       // in/out
    QPalette palette; // in/out
};
