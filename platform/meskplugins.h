#pragma once

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
// and the reason is logged once per attempt.
void registerFactories();

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
