// Font roles of the common style: "area.widget.part.element" to font size, family, weight
// and palette colours.

#include "style/quorcommonstyle.h"

#include <QFont>
#include <QPalette>

namespace {

using Role = QPalette::ColorRole;

// What one row of the font-role table asks for, applied to a font and a palette.
class CFontRoleRow
{
public:
    CFontRoleRow(const CQuorCommonStyle& style, QPalette& palette, QFont& font)
        : m_style(style), m_palette(palette), m_font(font)
    {
    }

    CFontRoleRow& size(qreal points)
    {
        m_font.setPointSizeF(points);
        return *this;
    }
    CFontRoleRow& family()
    {
        m_font.setFamily(QStringLiteral("Velto Standard Multiscript"));
        return *this;
    }
    CFontRoleRow& bold()
    {
        m_bold = true;
        return *this;
    }
    CFontRoleRow& weight(QFont::Weight weight)
    {
        m_weight = weight;
        return *this;
    }
    // A colour for every group.
    CFontRoleRow& colour(Role role, const QColor& colour)
    {
        m_palette.setColor(role, colour);
        return *this;
    }
    CFontRoleRow& colour(QPalette::ColorGroup group, Role role, const QColor& colour)
    {
        m_palette.setColor(group, role, colour);
        return *this;
    }
    // An entry of the style's colour table, optionally with another alpha.
    QColor table(int index, int alpha = 255) const
    {
        QColor c = m_style.color(index);
        if (alpha != 255)
            c.setAlpha(alpha);
        return c;
    }

    // The step every resolved role ends with.
    void finish(bool largeFonts)
    {
        m_font.setItalic(false);
        m_font.setWeight(m_bold ? QFont::Bold : m_weight);
        // A font sized in pixels has no point size to enlarge.
        if (largeFonts && m_font.pointSize() > 0)
            m_font.setPointSize(m_font.pointSize() + 2);
    }

private:
    const CQuorCommonStyle& m_style;
    QPalette& m_palette;
    QFont& m_font;
    bool m_bold = false;
    QFont::Weight m_weight = QFont::Normal;
};

const QColor kShadowLight(255, 255, 255, 200);

void widgetLibraryRow(CFontRoleRow& row, const QString& widget, const QString& part, const QString& element)
{
    const auto is = [](const QString& value, const char* text) { return value == QLatin1String(text); };
    if (is(widget, "progressbar")) {
        if (is(part, "phased") && is(element, "label"))
            row.size(8)
                .colour(QPalette::Active, Role::WindowText, row.table(16))
                .colour(QPalette::Disabled, Role::WindowText, QColor(153, 153, 153));
        else if (is(part, "normal") && is(element, "label"))
            row.size(8)
                .colour(QPalette::Active, Role::WindowText, row.table(16))
                .colour(Role::Shadow, QColor(153, 153, 153, 125));
    } else if (is(widget, "itemlist")) {
        if (is(part, "header") && is(element, "label"))
            row.size(8).colour(Role::WindowText, row.table(17));
        else if (is(part, "header") && is(element, "button"))
            row.size(8).colour(Role::ButtonText, row.table(17));
        else if (is(part, "middle") && is(element, "view"))
            row.size(13).family();
        else if (is(part, "bottom") && is(element, "button"))
            row.family().colour(Role::ButtonText, row.table(15));
    } else if (is(widget, "button")) {
        if (is(part, "secondary"))
            row.size(10).colour(Role::ButtonText, row.table(16));
        else if (is(part, "gradient"))
            row.size(8)
                .bold()
                .colour(Role::ButtonText, row.table(16))
                .colour(QPalette::Disabled, Role::ButtonText, QColor(51, 51, 51, 102))
                .colour(Role::Light, QColor(255, 255, 255))
                .colour(QPalette::Disabled, Role::Light, QColor(255, 255, 255, 102));
        else if (is(part, "menu"))
            row.size(8).colour(Role::ButtonText, QColor(83, 83, 83));
        else if (is(part, "bridge"))
            row.size(8)
                .colour(QPalette::Active, Role::WindowText, row.table(16))
                .colour(QPalette::Inactive, Role::WindowText, row.table(15))
                .colour(Role::Shadow, kShadowLight);
        else if (is(part, "actiontooltip"))
            row.size(10)
                .colour(Role::ButtonText, QColor(211, 211, 211))
                .colour(Role::HighlightedText, QColor(255, 255, 255));
        else if (is(part, "radio"))
            row.bold();
    } else if (is(widget, "combobox")) {
        if (is(part, "view"))
            row.size(8);
        else if (is(part, "frame"))
            row.size(10);
        row.colour(Role::WindowText, row.table(16));
    } else if (is(widget, "lineedit")) {
        row.size(10).colour(Role::Light, QColor(169, 169, 169));
    } else if (is(widget, "textedit")) {
        row.size(10);
    } else if (is(widget, "menu")) {
        row.size(8);
    } else if (is(widget, "tooltip")) {
        row.size(8).weight(QFont::DemiBold);
    } else if (is(widget, "richtooltip")) {
        if (is(part, "info") || is(part, "link"))
            row.size(10);
        else if (is(part, "checkbox"))
            row.size(8);
    } else if (is(widget, "groupbox")) {
        row.colour(Role::WindowText, row.table(16));
    } else if (is(widget, "window")) {
        if (is(part, "main") && is(element, "title"))
            row.size(8).colour(Role::WindowText, row.table(15)).colour(Role::Shadow, kShadowLight);
    }
}

void commonRow(CFontRoleRow& row, const QString& widget, const QString& part, const QString& element)
{
    const auto is = [](const QString& value, const char* text) { return value == QLatin1String(text); };
    const QColor pressedText(51, 51, 51);
    if (is(widget, "pane")) {
        if (is(part, "header")) {
            if (is(element, "label"))
                row.size(13).family().colour(Role::WindowText, row.table(16));
            else if (is(element, "hint"))
                row.size(10).colour(Role::WindowText, row.table(15));
        } else if (is(part, "source")) {
            if (is(element, "item"))
                row.size(10)
                    .colour(Role::WindowText, row.table(16))
                    .colour(Role::ButtonText, QColor(156, 156, 156));
        } else if (is(part, "items")) {
            if (is(element, "addbutton"))
                row.size(10).colour(Role::ButtonText, row.table(15));
            else if (is(element, "item"))
                row.size(10).colour(Role::WindowText, row.table(16)).colour(Role::Midlight, row.table(15));
            else if (is(element, "itemtop"))
                row.size(10).colour(Role::WindowText, row.table(16));
            else if (is(element, "itemamount"))
                row.size(8).colour(Role::WindowText, row.table(16));
            else if (is(element, "itembottom"))
                row.size(8).colour(Role::WindowText, row.table(15));
        } else if (is(part, "content")) {
            if (is(element, "emptytitle"))
                row.size(13);
            else if (is(element, "emptyinfo"))
                row.size(8);
            row.family().colour(Role::WindowText, QColor(178, 178, 178));
        }
    } else if (is(widget, "dialog")) {
        if (is(part, "header") && is(element, "label"))
            row.size(16).family();
        else if (is(part, "body") && is(element, "normal"))
            row.size(10).colour(Role::WindowText, row.table(16));
        else if (is(part, "body") && is(element, "hinttext"))
            row.size(10).colour(Role::WindowText, row.table(15));
    } else if (is(widget, "wizard")) {
        if (is(part, "header") && is(element, "label")) {
            row.size(16).family().colour(Role::WindowText, row.table(16));
        } else if (is(part, "subheader") && is(element, "label")) {
            row.size(10).bold().colour(Role::WindowText, row.table(16));
        } else if (is(part, "body")) {
            if (is(element, "normal"))
                row.size(10).colour(Role::WindowText, row.table(16));
            else if (is(element, "bolded") || is(element, "bullet"))
                row.size(10).bold().colour(Role::WindowText, row.table(16));
            else if (is(element, "warningzone") || is(element, "subheader"))
                row.colour(Role::WindowText, QColor(255, 255, 255));
            else if (is(element, "hinttext"))
                row.size(10)
                    .colour(Role::WindowText, row.table(15))
                    .colour(QPalette::Disabled, Role::WindowText, row.table(15, 85));
            else if (is(element, "hinttextrich"))
                row.size(10).colour(Role::WindowText, row.table(15, 85));
            else if (is(element, "smallhint"))
                row.size(8).colour(Role::WindowText, row.table(15));
        }
    } else if (is(widget, "mainframe")) {
        if (is(part, "button") && is(element, "syncall"))
            row.size(8)
                .family()
                .bold()
                .colour(Role::ButtonText, pressedText)
                .colour(QPalette::Disabled, Role::ButtonText, QColor(51, 51, 51, 30))
                .colour(Role::Shadow, QColor(255, 255, 255));
        else if (is(part, "progressbar") && is(element, "label"))
            row.size(9).colour(Role::WindowText, QColor(119, 119, 119)).colour(Role::Shadow, kShadowLight);
    } else if (is(widget, "dashboard")) {
        if (is(part, "home")) {
            if (is(element, "questiontext"))
                row.size(12);
            else if (is(element, "synctext"))
                row.size(8).colour(Role::WindowText, row.table(15));
            else if (is(element, "applicationname"))
                row.size(10.5).family().weight(QFont::Bold);
            else if (is(element, "emptyhome"))
                row.size(12.0).colour(Role::WindowText, QColor(192, 192, 192));
        } else if (is(part, "notify")) {
            if (is(element, "title"))
                row.size(12).colour(Role::WindowText, QColor(170, 221, 255));
            else if (is(element, "header"))
                row.size(8).bold().colour(Role::WindowText, QColor(126, 126, 126));
            else if (is(element, "body"))
                row.size(8).colour(Role::WindowText, QColor(126, 126, 126));
            row.family();
        } else if (is(part, "button") && is(element, "label")) {
            row.family()
                .bold()
                .colour(Role::ButtonText, pressedText)
                .colour(QPalette::Disabled, Role::ButtonText, QColor(51, 51, 51, 30))
                .colour(Role::Shadow, QColor(255, 255, 255));
        }
    }
}

void otherAreaRow(CFontRoleRow& row, const QString& area, const QString& widget, const QString& part,
                  const QString& element)
{
    const auto is = [](const QString& value, const char* text) { return value == QLatin1String(text); };
    if (is(area, "messages")) {
        if (is(widget, "pane") && is(part, "content")) {
            if (is(element, "view"))
                row.size(13).colour(Role::Midlight, QColor(195, 195, 195));
            else if (is(element, "editlabel"))
                row.size(10).family().colour(Role::ButtonText, row.table(15));
            else if (is(element, "addrecipient"))
                row.size(13)
                    .family()
                    .colour(Role::WindowText, row.table(16))
                    .colour(Role::Shadow, kShadowLight);
            else if (is(element, "sendinfo"))
                row.size(8).colour(Role::WindowText, row.table(17));
        } else if (is(widget, "smartgroup") && is(part, "button") && is(element, "add")) {
            row.colour(Role::ButtonText, row.table(15));
        }
    } else if (is(area, "contacts")) {
        if (is(widget, "pane") && is(part, "content")) {
            if (is(element, "hinttext"))
                row.size(8).colour(Role::WindowText, row.table(15));
            else if (is(element, "infotext"))
                row.size(10).colour(Role::WindowText, QColor(0, 0, 0));
        }
    } else if (is(area, "carousel")) {
        row.family();
        if (is(widget, "device") && is(element, "label")) {
            const QColor grey(119, 119, 119);
            if (is(part, "status") || is(part, "notconnected"))
                row.size(8).colour(Role::WindowText, grey);
            else if (is(part, "name"))
                row.size(10).bold().colour(Role::WindowText, QColor(63, 63, 63));
            row.colour(Role::Shadow, kShadowLight);
        }
    } else if (is(area, "music")) {
        if (is(widget, "player") && is(part, "metadata")) {
            if (is(element, "artist"))
                row.colour(Role::WindowText, QColor(119, 119, 119));
            else if (is(element, "track"))
                row.colour(Role::WindowText, QColor(56, 56, 56));
            row.size(8).colour(Role::Shadow, QColor(246, 246, 246));
        }
    } else if (is(area, "ftu")) {
        if (is(widget, "wizard") && is(part, "bluetooth") && is(element, "pin"))
            row.size(12).bold().colour(Role::WindowText, row.table(16));
        else if (is(widget, "wizard") && is(part, "device") && is(element, "name"))
            row.size(8).colour(Role::WindowText, QColor(153, 153, 153));
    } else if (is(area, "quoraccount")) {
        if (is(widget, "bridge") && is(part, "button") && is(element, "label"))
            row.size(10).family();
        else if (is(widget, "popup") && is(part, "header"))
            row.size(13.5).family().colour(Role::WindowText, row.table(16));
        else if (is(widget, "popup") && is(part, "body"))
            row.size(8).colour(Role::WindowText, QColor(124, 124, 124));
        else if (is(widget, "popup") && is(part, "link"))
            row.size(7).bold();
    }
}

} // namespace

bool CQuorCommonStyle::resolveFontRole(const QString& fontRole, QPalette& palette, QFont& font) const
{
    if (fontRole.isEmpty())
        return false;
    const QStringList parts = fontRole.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() < 4)
        return false;
    const QString& area = parts[0];
    CFontRoleRow row(*this, palette, font);
    if (area == QLatin1String("widgetlibrary"))
        widgetLibraryRow(row, parts[1], parts[2], parts[3]);
    else if (area == QLatin1String("common"))
        commonRow(row, parts[1], parts[2], parts[3]);
    else
        otherAreaRow(row, area, parts[1], parts[2], parts[3]);
    row.finish(m_largeFonts);
    return true;
}
