#include "compositingwatch.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>

#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

// Asks the X server who owns the compositing manager's selection and listens for changes of its
// owner. Every call runs on the GUI thread, on Qt's own connection.
class CCompositingWatch::CX11Listener : public QAbstractNativeEventFilter
{
public:
    CX11Listener(CCompositingWatch* watch, xcb_connection_t* connection)
        : m_watch(watch), m_connection(connection)
    {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(defaultScreen());
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (atom) {
            m_selection = atom->atom;
            std::free(atom);
        }
        xcb_window_t root = XCB_NONE;
        const xcb_setup_t* setup = xcb_get_setup(m_connection);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; it.rem && i < defaultScreen(); ++i)
            xcb_screen_next(&it);
        if (it.rem)
            root = it.data->root;

        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        if (extension && extension->present && root != XCB_NONE && m_selection != XCB_NONE) {
            xcb_xfixes_query_version_reply_t* version = xcb_xfixes_query_version_reply(
                m_connection,
                xcb_xfixes_query_version(m_connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
                nullptr);
            if (version) {
                std::free(version);
                m_notifyType = uint8_t(extension->first_event + XCB_XFIXES_SELECTION_NOTIFY);
                xcb_xfixes_select_selection_input(
                    m_connection, root, m_selection,
                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
                xcb_flush(m_connection);
                m_listening = true;
            }
        }
    }

    bool hasOwner() const
    {
        if (m_selection == XCB_NONE)
            return false;
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
        if (!reply)
            return false;
        const bool owned = reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (!m_listening || eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != m_notifyType)
            return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection == m_selection && m_watch)
            m_watch->setDesktopAnswer(notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER &&
                                      notify->owner != XCB_NONE);
        return false;
    }

private:
    static int defaultScreen()
    {
        // The screen number of DISPLAY (":0.1" is screen 1); Qt's connection uses the same one.
        const QByteArray display = qgetenv("DISPLAY");
        const int colon = display.lastIndexOf(':');
        const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
        return dot < 0 ? 0 : display.mid(dot + 1).toInt();
    }

    QPointer<CCompositingWatch> m_watch;
    xcb_connection_t* m_connection;
    xcb_atom_t m_selection = XCB_NONE;
    uint8_t m_notifyType = 0;
    bool m_listening = false;
};

CCompositingWatch* CCompositingWatch::instance()
{
    // One per application: it goes with the application, so a later one starts afresh.
    static QPointer<CCompositingWatch> watch;
    if (!watch) {
        watch = new CCompositingWatch;
        if (QCoreApplication* app = QCoreApplication::instance())
            watch->setParent(app);
    }
    return watch;
}

CCompositingWatch::CCompositingWatch()
{
    setObjectName(QStringLiteral("CCompositingWatch"));
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        m_desktopActive = true;
    } else if (platform == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
            m_x11 = std::make_unique<CX11Listener>(this, connection);
            m_desktopActive = m_x11->hasOwner();
            qGuiApp->installNativeEventFilter(m_x11.get());
        }
    }
}

CCompositingWatch::~CCompositingWatch()
{
    if (m_x11 && qGuiApp)
        qGuiApp->removeNativeEventFilter(m_x11.get());
}

bool CCompositingWatch::isActive() const
{
    return m_override.value_or(m_desktopActive);
}

void CCompositingWatch::setOverride(std::optional<bool> active)
{
    const bool before = isActive();
    m_override = active;
    if (isActive() != before)
        emit changed(isActive());
}

void CCompositingWatch::setDesktopAnswer(bool active)
{
    const bool before = isActive();
    m_desktopActive = active;
    if (isActive() != before)
        emit changed(isActive());
}
