// The floor of the start-up benchmark: what any program of this kind must do before its first
// frame, done the cheapest honest way, and nothing else. It links the same Qt modules as
// velto-lumesk (see bench/CMakeLists.txt), so loading them costs both the same.
//
// A single-instance lock before the application, a storage lock, an INI read of an installer file
// and a settings file, an SQLite database in the data folder (WAL, four tables and one index made
// if missing in one transaction, one read of 50 rows), the network information backend, and a
// frameless 368 x 550 window: a bold title, a button with an SVG icon, the welcome picture, four
// word-wrapped labels and an italic one. Closing the window ends the program.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLockFile>
#include <QNetworkInformation>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[])
{
    QLockFile instance(QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
                           .filePath(QStringLiteral("startup_floor.lock")));
    instance.setStaleLockTime(0);
    if (!instance.tryLock(0) && instance.error() == QLockFile::LockFailedError)
        return 0;

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
    QCoreApplication::setApplicationName(QStringLiteral("Lumesk Floor"));

    const QSettings installer(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Velto"),
                              QStringLiteral("Lumesk Floor"));
    const QString language = installer.value(QStringLiteral("LanguageCode")).toString();
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velto"),
                             QStringLiteral("Lumesk Floor"));
    const int mode = settings.value(QStringLiteral("mode")).toInt();

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(dataFolder);
    QLockFile storageLock(dataFolder + QStringLiteral("/storage.lock"));
    storageLock.setStaleLockTime(0);
    if (!storageLock.tryLock(10000))
        return 1;

    int rows = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(dataFolder + QStringLiteral("/storage.db"));
        if (!db.open())
            return 1;
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL;"));
        query.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
        query.exec(QStringLiteral("PRAGMA foreign_keys=ON;"));
        db.transaction();
        query.exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS KEYVALUES (KEY TEXT PRIMARY KEY, VALUE TEXT);"));
        query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ITEMS (PROVIDER INTEGER, PARENT INTEGER, "
                                  "USER INTEGER, CREATED INTEGER, CONTENT TEXT, MEDIAID TEXT, TYPE INTEGER, "
                                  "ADDED INTEGER);"));
        query.exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS FIELDS (ITEM INTEGER, FIELD TEXT, VALUE TEXT);"));
        query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS SERVICEKEYS (PROVIDER INTEGER, KEY TEXT, "
                                  "VALUE TEXT);"));
        query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS ITEMS_TYPE_CREATED ON ITEMS (TYPE, CREATED);"));
        db.commit();
        query.exec(QStringLiteral("SELECT ROWID, PROVIDER, USER, CREATED, CONTENT FROM ITEMS "
                                  "ORDER BY CREATED DESC LIMIT 50;"));
        while (query.next())
            ++rows;
    }

    QNetworkInformation::loadDefaultBackend();

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("Lumesk Floor"));
    window.setFixedSize(368, 550);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Lumesk Floor"));
    QFont titleFont = title->font();
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    auto* refresh = new QPushButton(QIcon(QStringLiteral(":/startup_floor/startup_floor.svg")),
                                    QStringLiteral("Refresh"));
    layout->addWidget(refresh);
    auto* picture = new QLabel;
    picture->setPixmap(QPixmap(QStringLiteral(":/startup_floor/images/welcomescreen.png")));
    layout->addWidget(picture);
    const QString texts[] = {
        QStringLiteral("Your feeds from every service in one window, newest first."),
        QStringLiteral("Link an account to see its posts, photos and messages here."),
        QStringLiteral("Stored posts: %1. Mode: %2. Language: %3.")
            .arg(rows)
            .arg(mode)
            .arg(language.isEmpty() ? QStringLiteral("default") : language),
        QStringLiteral("Text messages from a modem show here too, when one is connected."),
    };
    for (const QString& text : texts) {
        auto* label = new QLabel(text);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* note = new QLabel(QStringLiteral("Nothing is sent until you link an account."));
    QFont noteFont = note->font();
    noteFont.setItalic(true);
    note->setFont(noteFont);
    layout->addWidget(note);
    window.show();
    return QApplication::exec();
}
