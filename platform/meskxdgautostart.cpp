#include "meskxdgautostart.h"

#include "mesksavefile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

IMeskAutostart::Factory& factoryRef()
{
    static IMeskAutostart::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<IMeskAutostart> IMeskAutostart::create()
{
    if (const Factory& factory = factoryRef())
        return factory();
    return std::make_unique<CMeskXdgAutostart>();
}

IMeskAutostart::Factory IMeskAutostart::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}

QString CMeskXdgAutostart::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/velto-lumesk.desktop");
}

QString CMeskXdgAutostart::execValue(const QString& program)
{
    // Quoting of one command-line argument.
    QString quoted;
    quoted.reserve(program.size() + 8);
    quoted += QLatin1Char('"');
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');

    // Escaping of a string value; a line break or tab must not end or split the line.
    QString value;
    value.reserve(quoted.size() + 8);
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\':
            value += QLatin1String("\\\\");
            break;
        case '\n':
            value += QLatin1String("\\n");
            break;
        case '\r':
            value += QLatin1String("\\r");
            break;
        case '\t':
            value += QLatin1String("\\t");
            break;
        case '%':
            // Field codes start with '%'; a literal one is doubled.
            value += QLatin1String("%%");
            break;
        default:
            value += c;
        }
    }
    return value;
}

bool CMeskXdgAutostart::enable(const QString& program)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qDebug() << "CMeskXdgAutostart: cannot create the autostart folder for" << path;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "CMeskXdgAutostart: cannot write" << path << file.errorString();
        return false;
    }
    const QString entry = QLatin1String("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Velto Lumesk\n"
                                        "Exec=") +
                          execValue(program) + QLatin1String("\nTerminal=false\n");
    // A write that fails leaves the earlier entry, or none: never a cut one (the destructor discards what an
    // uncommitted file wrote).
    const QByteArray bytes = entry.toUtf8();
    const bool written = file.write(bytes) == bytes.size();
    QString why;
    if (written && MeskSaveFile::commit(file, &why))
        return true;
    qDebug() << "CMeskXdgAutostart: cannot write" << path << (written ? why : file.errorString());
    return false;
}

bool CMeskXdgAutostart::disable()
{
    const QString path = entryPath();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.remove()) {
        qDebug() << "CMeskXdgAutostart: cannot remove" << path << file.errorString();
        return false;
    }
    return true;
}

bool CMeskXdgAutostart::isEnabled() const
{
    return QFileInfo::exists(entryPath());
}
