#pragma once

#include "imeskcontactstore.h"

#include <QHash>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <set>
#include <utility>
#include <vector>

// The Linux contacts store: the vCard files (versions 2.1, 3.0 and 4.0, one
// or many cards per file) in $XDG_DATA_HOME/contacts and its subfolders, and
// in the folders or files named in LUMESK_CONTACTS_PATH (colon-separated).
// The folders are listed entry by entry (hidden entries left out, links to
// folders followed, each folder listed once however many ways lead to it),
// and a file reached by several paths or names (links, hard links) is read
// once. Each card is a contact with the reader's property names: GivenName,
// MiddleName, LastName, NickName, Company and the phone properties. Group
// cards are not contacts. Only regular files are read (after following
// links; anything else, a FIFO or a device, is skipped without blocking), each
// up to the size it had when opened, line by line through one reused buffer
// (LF, CRLF or CR line ends, a last line without one, a UTF-8 byte-order
// mark); properties the reader does not use (photos, notes, addresses) are
// passed over without being kept, and one longer than MaxPropertySize is
// dropped. A card that does not end is skipped alone (the first
// MaxSkipLogLines of a file with one log line each, the rest with one line
// at the end of the file) and a file that cannot be read or in which no card
// begins is skipped, each with one log line. The listing stops at the next
// entry, the read within one buffer of its cancel flag being set.
class CMeskVCardContactStore : public IMeskContactStore
{
public:
    static constexpr qsizetype MaxPropertySize = 64 * 1024;
    static constexpr int MaxSkipLogLines = 3;

    // The store over the default places.
    CMeskVCardContactStore();
    // The store over the given folders and files.
    explicit CMeskVCardContactStore(const QStringList& places);

    // $XDG_DATA_HOME/contacts, then every entry of LUMESK_CONTACTS_PATH.
    static QStringList defaultPlaces();

    bool open() override { return true; }
    // Reads every file; true, or false when cancel was set before the last one was read (the
    // cards of the files read before stay).
    bool initialize(const std::atomic_bool& cancel) override;
    IMeskContactCollection* contacts() override { return &m_collection; }
    // Called with each entry the listing of a folder meets (the cancel flag is looked at before
    // each): tests count the entries and cancel at one of them.
    void setEntryHook(std::function<void()> hook) { m_entryHook = std::move(hook); }

    // The properties a card keeps: the reader's names only, each at a fixed place, their values
    // one after the other in one string (one block a card: many cards are freed fast).
    class Properties
    {
    public:
        static constexpr int Count = 17;
        // The place of a property name; -1 for a name the store never gives.
        static int place(const QString& name);
        bool contains(const QString& name) const;
        QString value(const QString& name) const;
        // Sets a value; one set before is replaced.
        void insert(const QString& name, const QString& value);
        // Gives back the room kept for more values.
        void squeeze() { m_values.squeeze(); }

    private:
        QString m_values;
        std::array<qint32, Count> m_start = {};
        std::array<qint32, Count> m_size = {};
        quint32 m_present = 0;
    };

private:
    class Card : public IMeskContactItem
    {
    public:
        bool hasProperty(const QString& nameSpace, const QString& name) override;
        bool propertyValue(const QString& nameSpace, const QString& name, QString* value) override;
        Properties properties;
    };
    class Collection : public IMeskContactCollection
    {
    public:
        int count() override { return int(cards.size()); }
        IMeskContactItem* item(int index) override
        {
            return index >= 0 && index < int(cards.size()) ? &cards[size_t(index)] : nullptr;
        }
        // A deque: growing it never moves (and so never doubles) the cards read so far.
        std::deque<Card> cards;
    };

    class CardReader;
    enum class ReadResult
    {
        Read,
        Skipped, // cannot be read or is broken: nothing appended
        Cancelled,
    };

    // Files and folders by device and inode.
    using FileIds = std::set<std::pair<quint64, quint64>>;

    // Appends the vCard files of folder and its subfolders to files; folders listed before (in
    // listed, which gains the folders listed now) are not listed again. False once cancel is set.
    bool findFiles(const QString& folder, const std::atomic_bool& cancel, FileIds* listed,
                   QStringList* files);
    // Appends the cards of one file unless it is in read (which it then joins); with Skipped,
    // reason says why.
    ReadResult readFile(const QString& path, const std::atomic_bool& cancel, FileIds* read, QString* reason);

    QStringList m_places;
    std::function<void()> m_entryHook;
    Collection m_collection;
};
