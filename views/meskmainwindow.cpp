#include "meskmainwindow.h"

#include "meskengine.h"

CMeskMainWindow::CMeskMainWindow(CMeskEngine* engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setWindowTitle(QStringLiteral("Velto Lumesk"));
    resize(1024, 700);
    if (m_engine)
        m_engine->startUpdates();
}

CMeskMainWindow::~CMeskMainWindow() = default;
