// The anchor of the start-up benchmark: a plain QWidget window and its event loop, nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
