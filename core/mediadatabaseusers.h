#pragma once

#include "mediadatabasemethod.h"

#include <QHash>
#include <QList>

// SERVICEUSERS and SERVICEUSERFIELDS: the users a provider meets and their name/value pairs.
// NAME, EXTRA1-3 and a field's VALUE hold stored forms; MEDIAID, URL, AVATAR and a field's FIELD are as
// given. avatarFile is not stored: the database derives it.
class CMediaDataBaseUsers : public CMediaDataBaseMethod
{
public:
    bool createTables();
    // The indexes behind every query of the two tables; kept when they exist.
    bool createIndexes();

    bool addServiceUser(SServiceUser& user); // sets user.id
    // False with a debug message when no row has the id, and false when it cannot be read (ok tells
    // which).
    bool serviceUser(mid_t id, SServiceUser& user, bool* ok = nullptr);
    bool updateServiceUser(const SServiceUser& user);
    bool setServiceUserField(mid_t user, const QHash<QString, QString>& fields);
    // False, with the map untouched, when the fields cannot be read.
    bool serviceUserFields(mid_t user, QHash<QString, QString>& fields);
    // ok (when given) tells whether the read succeeded; a failed one answers empty.
    QList<SServiceUser> serviceUserByMediaId(mid_t provider, const QString& mediaId, bool* ok = nullptr);
    QList<SServiceUser> serviceUsers(mid_t provider, bool* ok = nullptr);
    QList<SServiceUser> findServiceUsers(mid_t provider, const QString& prefix, bool* ok = nullptr);

    // Deletes the rows of the users and of their fields in one transaction (or as part of the open batch).
    bool deleteUserRows(const QList<mid_t>& ids);

private:
    QList<SServiceUser> selectUsers(const QString& condition, const QVariantList& values, bool* ok = nullptr);
};
