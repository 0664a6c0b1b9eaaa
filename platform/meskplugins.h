#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QObject;

// The program's plugins, loaded on first use so that start-up loads neither engine: the embedded
// browser on Qt WebEngine (velto-lumesk-webengine.so, when a setup wizard first shows a web page)
// and the video player on Qt Multimedia (velto-lumesk-multimedia.so, at the first video played).
// They are found next to the program. A plugin is loaded once and never unloaded: objects of its
// classes may live until the process ends.
namespace MeskPlugins {

// File names (without ".so") of the two plugins.
QString browserPluginName();
QString videoPluginName();

// Installs the IMeskBrowserBackend and IMeskVideoPlayer factories that load their plugins at their
// first use. A plugin that is missing or does not load leaves its factory making nothing (null),
// and the reason is logged once per attempt. So does the browser plugin while the web engine would
// end the process at its start (see webEngineRefusal): it is then not loaded.
void registerFactories();

// What decides whether the web engine can start in a process: its user and group ids (real,
// effective, saved), its environment, its arguments (as QCoreApplication::arguments() gives them)
// and the folders where the engine looks for its helper program QtWebEngineProcess when
// QTWEBENGINEPROCESS_PATH is not set, in the engine's order.
struct SWebEngineStart
{
    uint realUid = 0;
    uint effectiveUid = 0;
    uint savedUid = 0;
    uint realGid = 0;
    uint effectiveGid = 0;
    uint savedGid = 0;
    QProcessEnvironment environment;
    QStringList arguments;
    QStringList helperFolders;
};

// This process's ids, environment and arguments, and the engine's helper folders: Qt's
// LibraryExecutablesPath and BinariesPath, and the program's folder. Needs the application object.
SWebEngineStart currentWebEngineStart();

// Why the web engine would end the whole process if it started with these: its helper cannot be
// found (the file QTWEBENGINEPROCESS_PATH names when that is set and not empty, otherwise one in
// helperFolders), or its sandbox would refuse to start: as root, with real, effective and saved
// user ids (or group ids) that differ, or with --no-zygote, unless --no-sandbox is given. The
// engine is given --no-sandbox when QTWEBENGINE_DISABLE_SANDBOX is set (empty or not), when it stands
// among the flags of QTWEBENGINE_CHROMIUM_FLAGS, or, while that variable is not set, among the
// arguments after --webEngineArgs. An empty text when the engine can start. What it cannot foresee:
// a sandbox that fails for want of user namespaces (the engine then ends with "No usable sandbox!").
QString webEngineRefusal(const SWebEngineStart& start);

// The folders searched for plugins, in order; by default the program's folder.
QStringList folders();
void setFolders(const QStringList& folders);

// The root object of the plugin <name>.so in the first folder that holds it, loaded once; null
// when it is missing or does not load, with the reason in error.
QObject* load(const QString& name, QString* error = nullptr);

// Makes the process-wide OpenGL context the web engine shares its contexts with, the way the
// engine's own start-up hook would have: unless one exists, a QOpenGLContext is created and set
// as the global share context (also when its create() fails), and deleted when the application
// ends. Needs the application object.
void makeSharedOpenGLContext();

} // namespace MeskPlugins
