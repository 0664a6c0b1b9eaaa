#pragma once

#include "imediaposting.h"
#include "meskhttpresponse.h"
#include "twitterrecords.h"

#include <QString>

class CTwitterApi;
class CTwitterUpdate;
class IMediaItemStorage;

// Posts the user's text as one or more Twitter statuses.
//
// The limit of maxTextLength() (140) applies to the percent-encoded text. A
// longer text is cut at whitespace into pieces; every piece but the last ends
// in "...", a later piece begins with the whitespace at which the one before
// was cut, and each piece is sent only after the service confirmed the one
// before. The cut walks whole code points, so a piece never ends inside a
// surrogate pair.
//
// Every posting that postText() accepts (returns true) ends in exactly one
// updateDone() or updateFailed(); an empty text ends in updateDone() before
// postText() returns. postText() returns false, with no signal, only when the
// poster is not ready (no storage, or a posting in progress). Each confirmed
// piece is reported by statusUpdated(event), after the next piece was started
// or after updateDone(). Pieces already posted stay posted when a later one
// fails. GUI thread only.
class CTwitterTextPoster : public IMediaTextPoster
{
    Q_OBJECT
public:
    CTwitterTextPoster(CTwitterApi* api, QObject* parent = nullptr);
    ~CTwitterTextPoster() override;

    // Set by the provider; the poster is not ready without it.
    void setStorage(IMediaItemStorage* storage);

    int serviceType() const override;
    bool canPost() const override;
    bool isBusy() const override;
    int maxTextLength() const override;
    bool postText(const QString& text) override;

signals:
    void statusUpdated(const STwitterStatusEvent& event);

private slots:
    void _onUpdatePosted(const STwitterStatusEvent& event);
    void _onProtocolError();
    void _onHttpError(TMeskHttpError error);

private:
    // The number of UTF-16 units of the head that the cut keeps of a text whose
    // encoding is longer than maxLength: the encoding of the head plus that of
    // the suffix stays under maxLength.
    static qsizetype cutLength(const QString& text, int maxLength, int suffixEncodedLength);
    // By value: the text may be the pending rest, which this replaces.
    void postPiece(QString text);
    void releaseUpdate();
    void fail();

    CTwitterApi* m_api;
    CTwitterUpdate* m_update = nullptr; // the piece in flight, or null
    IMediaItemStorage* m_storage = nullptr;
    QString m_pending; // the rest of the text still to be posted
    QString m_suffix;
    int m_suffixEncodedLength = 0;
};
