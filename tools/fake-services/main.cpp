// The stand-in services as a program, so Velto Lumesk can be tried without accounts or a modem:
// each web stand-in runs on a local HTTP server of its own on 127.0.0.1, the stand-in ModemManager
// on a private message bus (a dbus-daemon that ends with this program), and sample contacts come
// from a folder of vCard files. Each stand-in keeps its state between runs in a file of its own
// under StandInState::folder(), so a second run serves what the first one left. The program
// prints one LUMESK_X=value line per variable that points the application at them, then a line
// "ready", and serves until it is stopped; ./run.sh --stand-ins exports those lines and starts
// the application against the stand-ins.
#include "fakemodemmanager.h"
#include "modemstandin.h"
#include "standins.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <tuple>

namespace {

// SIGTERM and SIGINT end the event loop, so every stand-in (and the message bus) is stopped.
int s_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[0], &byte, 1);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_signalPipe) != 0)
        return 1;
    QSocketNotifier signalled(s_signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    QTextStream out(stdout);

    // One stand-in per provider, each listening from its construction on.
    FakeServices::StandIns standIns;
    const bool started = std::apply(
        [](auto&... standIn) {
            int index = 0;
            const auto listening = [&index](bool ok) {
                const char* name = FakeServices::StandInNames[index++];
                if (!ok)
                    QTextStream(stderr) << "fake-services: the " << name << " stand-in cannot listen\n";
                return ok;
            };
            return (listening(standIn.start()) && ...);
        },
        standIns);
    if (!started)
        return 1;
    PrivateBus bus;
    if (!bus.start()) {
        QTextStream(stderr) << "fake-services: no private message bus: " << bus.error() << '\n';
        return 1;
    }
    // One GSM modem, its SIM as the last run left it (a welcome message on the first run); each
    // message sent to it is answered.
    ModemStandIn modem;
    if (!modem.start(bus.address())) {
        QTextStream(stderr) << "fake-services: the stand-in ModemManager cannot take its name\n";
        return 1;
    }

    std::apply(
        [&out](auto&... standIn) {
            for (const auto& [name, value] : (standIn.variables() + ...))
                out << name << '=' << value << '\n';
        },
        standIns);
    out << "LUMESK_MODEMMANAGER_BUS=" << bus.address() << '\n';
    out << "LUMESK_CONTACTS_PATH=" << LUMESK_SAMPLE_CONTACTS << '\n';
    out << "ready\n";
    out.flush();
    std::fflush(stdout);
    return app.exec();
}
