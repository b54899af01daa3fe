#pragma once
// Dispatcher: the inbound half of the lobby protocol. Text in, operations
// out: it reads the operation code, the sub-code and the payload of one
// accepted lobby message and calls the session or the window operation that
// the message concerns. Every payload is hostile: short payloads are ignored,
// a field without its closing separator reads as empty, the user batch never
// reads past the datagram. Main thread only.

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QString>

namespace tarn {

class ILobbyOperations;
class TLobbySession;

// Field n of `text` split by `sep`: field 0 is the text before the first
// separator, field n the text between the n-th and the (n+1)-th; a field
// without its closing separator reads as empty.
QString LobbyField(const QString& text, QChar sep, int n);

// The text as the ANSI code page sees it: characters it lacks become "?".
QString ViaAnsi(const QString& text);

// The chat line's time stamp: `time` in the locale's long time format.
QString ChatTimeText(const QDateTime& time);

class Dispatcher {
public:
    Dispatcher(TLobbySession& session, ILobbyOperations& ops) : s_(session), ops_(ops) {}

    // One accepted message: T after decoding and decryption, `raw` the bytes
    // operations 3 and 10 read (the datagram, or the decrypted bytes of an
    // encrypted one), `encrypted` whether it came encrypted.
    void Dispatch(const QString& T, const QByteArray& raw, bool encrypted);

private:
    void chatLine(int room, QString P);
    void userState(int room, const QString& P);
    void userBatch(const QByteArray& raw);
    void command(QChar sub, const QString& P);
    void gameOfUser(const QString& P);
    void tickReplay(const QString& P);
    void serverAddress(QChar sub, const QString& P);

    TLobbySession& s_;
    ILobbyOperations& ops_;
};

} // namespace tarn
