#pragma once

#include "imeskautostart.h"

// Autostart through an XDG autostart entry: "velto-lumesk.desktop" in the "autostart" folder of
// the user's config folder ($XDG_CONFIG_HOME, else ~/.config). The desktop session starts every
// application listed there when the user logs in.
class CMeskXdgAutostart : public IMeskAutostart
{
public:
    bool enable(const QString& program) override;
    bool disable() override;
    bool isEnabled() const override;

    // Full path of the entry file.
    static QString entryPath();
    // The Exec value that starts program with no arguments: the path in double quotes with
    // '"', '`', '$' and '\' escaped, then escaped as a desktop-entry string value, '%' as "%%".
    static QString execValue(const QString& program);
};
