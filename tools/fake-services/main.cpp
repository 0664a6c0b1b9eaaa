// The stand-in services as a program, so Velto Lumesk can be tried without accounts: each
// stand-in runs on a local HTTP server of its own on 127.0.0.1. The program prints one
// LUMESK_X=value line per variable that points the application at them, then a line "ready",
// and serves until it is stopped; ./run.sh --stand-ins exports those lines and starts the
// application against the stand-ins.
#include "facebookstandin.h"
#include "flickrstandin.h"
#include "twitterstandin.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    TwitterStandIn twitter;
    if (!twitter.start()) {
        QTextStream(stderr) << "fake-services: the Twitter stand-in cannot listen\n";
        return 1;
    }
    FlickrStandIn flickr;
    if (!flickr.start()) {
        QTextStream(stderr) << "fake-services: the Flickr stand-in cannot listen\n";
        return 1;
    }
    FacebookStandIn facebook;
    if (!facebook.start()) {
        QTextStream(stderr) << "fake-services: the Facebook stand-in cannot listen\n";
        return 1;
    }
    for (const auto& [name, value] : twitter.variables() + flickr.variables() + facebook.variables())
        out << name << '=' << value << '\n';
    out << "ready\n";
    out.flush();
    std::fflush(stdout);
    return app.exec();
}
