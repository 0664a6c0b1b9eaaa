#include "twitterposter.h"

#include "twitterapi.h"
#include "twittercalls.h"

#include <QDebug>

#include <utility>

CTwitterTextPoster::CTwitterTextPoster(CTwitterApi* api, QObject* parent)
    : IMediaTextPoster(parent), m_api(api), m_suffix(QStringLiteral("..."))
{
    registerTwitterMetaTypes();
    m_suffixEncodedLength = int(COAuthClient::pct(m_suffix).size());
}

CTwitterTextPoster::~CTwitterTextPoster() = default;

void CTwitterTextPoster::setStorage(IMediaItemStorage* storage)
{
    m_storage = storage;
}

int CTwitterTextPoster::serviceType() const
{
    return MeskService::TextPoster;
}

bool CTwitterTextPoster::canPost() const
{
    return m_storage && !m_update && m_pending.isEmpty();
}

bool CTwitterTextPoster::isBusy() const
{
    return m_update || !m_pending.isEmpty();
}

int CTwitterTextPoster::maxTextLength() const
{
    return m_api->maxStatusLength();
}

bool CTwitterTextPoster::postText(const QString& text)
{
    if (text.isEmpty()) {
        emit updateDone();
        return true;
    }
    if (!canPost()) {
        qDebug().noquote() << QStringLiteral("CTwitterTextPoster: not ready to post text");
        return false;
    }
    m_pending.clear();
    // A piece that cannot be sent still ends the posting, through the call's queued protocolError().
    postPiece(text);
    return true;
}

qsizetype CTwitterTextPoster::cutLength(const QString& text, int maxLength, int suffixEncodedLength)
{
    const qsizetype limit = maxLength - suffixEncodedLength;
    qsizetype buffer = 0;
    qsizetype cut = 0;
    qsizetype index = 0;
    qsizetype last = 0; // where the last code point appended begins
    while (index < text.size() && buffer < limit) {
        // One whole code point: a surrogate pair is encoded (and cut) together.
        qsizetype width = 1;
        char32_t codePoint = text.at(index).unicode();
        if (text.at(index).isHighSurrogate() && index + 1 < text.size() &&
            text.at(index + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text.at(index), text.at(index + 1));
            width = 2;
        }
        buffer += COAuthClient::pct(text.mid(index, width)).size();
        if (QChar::isSpace(codePoint) && buffer < limit)
            cut = index;
        last = index;
        index += width;
    }
    // No whitespace after the first code point fitted: leave out the code point
    // that filled the buffer.
    if (cut == 0)
        cut = last;
    // A limit smaller than one code point still moves on.
    if (cut == 0)
        cut = index;
    return cut;
}

void CTwitterTextPoster::postPiece(QString text)
{
    m_update = new CTwitterUpdate(m_api, this);
    connect(m_update, &CTwitterUpdate::updatePosted, this, &CTwitterTextPoster::_onUpdatePosted);
    connect(m_update, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CTwitterTextPoster::_onProtocolError);
    connect(m_update, &CMeskHttpMethod::networkError, this, &CTwitterTextPoster::_onHttpError);

    const QString encoded = COAuthClient::pct(text);
    if (encoded.size() <= maxTextLength()) {
        m_pending.clear();
        m_update->request(encoded, QString());
        return;
    }
    const qsizetype head = cutLength(text, maxTextLength(), m_suffixEncodedLength);
    m_pending = text.mid(head);
    m_update->request(COAuthClient::pct(text.left(head)) + COAuthClient::pct(m_suffix), QString());
}

void CTwitterTextPoster::releaseUpdate()
{
    if (!m_update)
        return;
    // This runs inside one of the call's own signals: detach it now and delete
    // it once control is back in the event loop.
    CTwitterUpdate* update = std::exchange(m_update, nullptr);
    disconnect(update, nullptr, this, nullptr);
    update->deleteLater();
}

void CTwitterTextPoster::_onUpdatePosted(const STwitterStatusEvent& event)
{
    const STwitterStatusEvent posted = event;
    releaseUpdate();
    if (!m_pending.isEmpty())
        postPiece(m_pending);
    else
        emit updateDone();
    emit statusUpdated(posted);
}

void CTwitterTextPoster::_onProtocolError()
{
    fail();
}

void CTwitterTextPoster::_onHttpError(TMeskHttpError error)
{
    Q_UNUSED(error);
    fail();
}

void CTwitterTextPoster::fail()
{
    releaseUpdate();
    m_pending.clear();
    emit updateFailed();
}
