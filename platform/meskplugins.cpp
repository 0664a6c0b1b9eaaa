#include "meskplugins.h"

#include "imeskbrowserbackend.h"
#include "imeskvideoplayer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QOpenGLContext>
#include <QPluginLoader>

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

void registerFactories()
{
    IMeskBrowserBackend::setFactory([](QWidget* parent) -> IMeskBrowserBackend* {
        static IMeskBrowserBackendPlugin* plugin = nullptr;
        if (!plugin) {
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
