#include "meskplugins.h"

#include "imeskbrowserbackend.h"
#include "imeskvideoplayer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QOpenGLContext>
#include <QPluginLoader>

#include <unistd.h>

// QtGui's setter of the global share context, declared as Qt WebEngine declares it.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace {

QStringList& folderList()
{
    static QStringList folders;
    return folders;
}

QOpenGLContext* s_shareContext = nullptr;

void deleteShareContext()
{
    qt_gl_set_global_share_context(nullptr);
    delete s_shareContext;
    s_shareContext = nullptr;
}

template <typename Interface> Interface* pluginInterface(const QString& name)
{
    QString error;
    QObject* root = MeskPlugins::load(name, &error);
    auto* plugin = qobject_cast<Interface*>(root);
    if (!plugin) {
        if (root)
            error = QStringLiteral("it is not the plugin expected");
        qWarning().noquote() << QStringLiteral("MeskPlugins: %1 cannot be used: %2").arg(name, error);
    }
    return plugin;
}

const QString kHelperName = QStringLiteral("QtWebEngineProcess");
const QString kHelperPathVariable = QStringLiteral("QTWEBENGINEPROCESS_PATH");
const QString kDisableSandboxVariable = QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX");
const QString kFlagsVariable = QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS");
const QString kSandboxAdvice =
    QStringLiteral("unless its sandbox is turned off: QTWEBENGINE_DISABLE_SANDBOX=1 in the environment, or "
                   "--no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS");

// The flags as the engine reads them from QTWEBENGINE_CHROMIUM_FLAGS: parted at spaces, where a
// double quote (dropped) starts or ends a stretch whose spaces belong to the flag.
QStringList engineFlags(const QString& text)
{
    QStringList flags;
    QString flag;
    bool begun = false;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            begun = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (begun)
                flags.append(flag);
            flag.clear();
            begun = false;
        } else {
            flag += c;
            begun = true;
        }
    }
    if (!flag.isEmpty())
        flags.append(flag);
    return flags;
}

// The arguments the engine takes its switches from: the flags of QTWEBENGINE_CHROMIUM_FLAGS when that
// is set (empty or not), otherwise the program's arguments after --webEngineArgs, otherwise none.
QStringList engineArguments(const MeskPlugins::SWebEngineStart& start)
{
    if (start.environment.contains(kFlagsVariable))
        return engineFlags(start.environment.value(kFlagsVariable));
    const qsizetype separator = start.arguments.indexOf(QStringLiteral("--webEngineArgs"));
    return separator < 0 ? QStringList() : start.arguments.mid(separator + 1);
}

// Whether the switch <name> stands among the arguments as the engine reads them: "--name" or
// "-name", with or without "=value", before a "--" that ends the switches.
bool hasSwitch(const QStringList& arguments, QStringView name)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        const qsizetype prefix = argument.startsWith(QLatin1String("--")) ? 2
                                 : argument.startsWith(QLatin1Char('-'))  ? 1
                                                                          : 0;
        if (prefix == 0 || prefix == argument.size())
            continue;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QStringView key =
            QStringView(argument).first(equals < 0 ? argument.size() : equals).sliced(prefix);
        if (key == name)
            return true;
    }
    return false;
}

QString helperRefusal(const MeskPlugins::SWebEngineStart& start)
{
    const QString named = start.environment.value(kHelperPathVariable);
    QStringList candidates;
    if (!named.isEmpty()) {
        candidates.append(named);
    } else {
        for (const QString& folder : start.helperFolders)
            candidates.append(folder + QLatin1Char('/') + kHelperName);
    }
    for (const QString& candidate : std::as_const(candidates)) {
        if (QFileInfo::exists(candidate))
            return QString();
    }
    if (!named.isEmpty())
        return QStringLiteral(
                   "the web engine's helper program cannot be found: %1 names %2, which does not exist")
            .arg(kHelperPathVariable, named);
    return QStringLiteral("the web engine's helper program cannot be found: it is in none of %1")
        .arg(candidates.join(QStringLiteral(", ")));
}

QString sandboxRefusal(const MeskPlugins::SWebEngineStart& start)
{
    if (start.environment.contains(kDisableSandboxVariable))
        return QString();
    const QStringList arguments = engineArguments(start);
    if (hasSwitch(arguments, u"no-sandbox"))
        return QString();
    if (start.realUid != start.effectiveUid || start.realUid != start.savedUid ||
        start.realGid != start.effectiveGid || start.realGid != start.savedGid) {
        return QStringLiteral("its real, effective and saved user ids (%1, %2, %3) or group ids (%4, %5, %6) "
                              "differ, where the web engine ends the process %7")
            .arg(start.realUid)
            .arg(start.effectiveUid)
            .arg(start.savedUid)
            .arg(start.realGid)
            .arg(start.effectiveGid)
            .arg(start.savedGid)
            .arg(kSandboxAdvice);
    }
    if (start.effectiveUid == 0)
        return QStringLiteral("it runs as root, where the web engine ends the process %1")
            .arg(kSandboxAdvice);
    if (hasSwitch(arguments, u"no-zygote"))
        return QStringLiteral(
            "the web engine is given --no-zygote without --no-sandbox, with which it ends the "
            "process");
    return QString();
}

} // namespace

namespace MeskPlugins {

QString browserPluginName()
{
    return QStringLiteral("velto-lumesk-webengine");
}

QString videoPluginName()
{
    return QStringLiteral("velto-lumesk-multimedia");
}

QStringList folders()
{
    if (folderList().isEmpty())
        return {QCoreApplication::applicationDirPath()};
    return folderList();
}

void setFolders(const QStringList& folders)
{
    folderList() = folders;
}

QObject* load(const QString& name, QString* error)
{
    // Loaders are kept (never unloaded) with what they gave, to the very end of the process.
    static auto* loaded = new QHash<QString, QObject*>;
    static auto* loaders = new QList<QPluginLoader*>;
    if (QObject* root = loaded->value(name))
        return root;
    QString reason = QStringLiteral("%1.so is in none of %2").arg(name, folders().join(QStringLiteral(", ")));
    for (const QString& folder : folders()) {
        const QString path = QDir(folder).filePath(name + QStringLiteral(".so"));
        if (!QFileInfo::exists(path))
            continue;
        auto* loader = new QPluginLoader(path);
        loader->setLoadHints(QLibrary::PreventUnloadHint);
        if (QObject* root = loader->instance()) {
            loaders->append(loader);
            loaded->insert(name, root);
            return root;
        }
        reason = loader->errorString();
        delete loader;
        break;
    }
    if (error)
        *error = reason;
    return nullptr;
}

void makeSharedOpenGLContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    s_shareContext = new QOpenGLContext;
    s_shareContext->setFormat(QSurfaceFormat::defaultFormat());
    // Set even when it cannot be created: the engine then renders without sharing, as it would
    // have with the context its own hook makes.
    (void)s_shareContext->create();
    qt_gl_set_global_share_context(s_shareContext);
    qAddPostRoutine(deleteShareContext);
}

SWebEngineStart currentWebEngineStart()
{
    SWebEngineStart start;
    uid_t uids[3] = {};
    gid_t gids[3] = {};
    // Neither fails with addresses of the process's own.
    (void)getresuid(&uids[0], &uids[1], &uids[2]);
    (void)getresgid(&gids[0], &gids[1], &gids[2]);
    start.realUid = uids[0];
    start.effectiveUid = uids[1];
    start.savedUid = uids[2];
    start.realGid = gids[0];
    start.effectiveGid = gids[1];
    start.savedGid = gids[2];
    start.environment = QProcessEnvironment::systemEnvironment();
    start.arguments = QCoreApplication::arguments();
    start.helperFolders = {QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath),
                           QLibraryInfo::path(QLibraryInfo::BinariesPath),
                           QCoreApplication::applicationDirPath()};
    return start;
}

QString webEngineRefusal(const SWebEngineStart& start)
{
    // In the engine's order: it looks for its helper before it starts the sandbox.
    const QString helper = helperRefusal(start);
    return helper.isEmpty() ? sandboxRefusal(start) : helper;
}

void registerFactories()
{
    IMeskBrowserBackend::setFactory([](QWidget* parent) -> IMeskBrowserBackend* {
        static IMeskBrowserBackendPlugin* plugin = nullptr;
        if (!plugin) {
            // The engine ends the whole process where it cannot start: it is not loaded then, and
            // the page reports a failed load.
            const QString refusal = webEngineRefusal(currentWebEngineStart());
            if (!refusal.isEmpty()) {
                qWarning().noquote()
                    << QStringLiteral("MeskPlugins: %1 is not loaded: %2").arg(browserPluginName(), refusal);
                return nullptr;
            }
            // The engine's views share the process-wide context; it must exist before the
            // engine starts.
            makeSharedOpenGLContext();
            plugin = pluginInterface<IMeskBrowserBackendPlugin>(browserPluginName());
            if (!plugin)
                return nullptr;
        }
        return plugin->createBackend(parent);
    });
    IMeskVideoPlayer::setFactory([](IMeskVideoPlayer::Kind kind, QWidget* parent) -> IMeskVideoPlayer* {
        static IMeskVideoPlayerPlugin* plugin = nullptr;
        if (!plugin) {
            plugin = pluginInterface<IMeskVideoPlayerPlugin>(videoPluginName());
            if (!plugin)
                return nullptr;
        }
        return plugin->createPlayer(kind, parent);
    });
}

} // namespace MeskPlugins
