#pragma once
// TUserTable: the lobby's users as the server reports them. Up to 1024
// entries, 1-based like the original table; entries are appended, never
// removed, and stay across logouts. Reports about further users are ignored
// once the table is full. Main thread only.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace tarn {

struct TUsers {
    QString Username;
    int Chatroom = 4;
    bool Online = false;
    QString roomname;
    QString tag;
    QChar MemberGroup;
    std::uint8_t Rank = 0;
};

// One record of the user batch (operation 3): 24 bytes on the wire.
struct TUserBatchRecord {
    int room = 0;          // 16-bit little-endian character code
    QChar memberGroup;     // 16-bit little-endian
    std::uint8_t rank = 0; // rank image index
    QString tag;           // 3 bytes UTF-8, trailing zeros stripped
    QString name;          // 16 bytes UTF-8, trailing zeros stripped
};

// The records of a user batch datagram (byte 0 the code, byte 1 the count
// minus one, then 24-byte records). A batch whose count runs past the
// datagram yields only the records that are whole.
std::vector<TUserBatchRecord> ParseUserBatch(const QByteArray& raw);

class TUserTable {
public:
    static constexpr int kCapacity = 1024;

    int UserCount() const { return static_cast<int>(users_.size()); }
    // 1-based index of the first entry whose name equals `name` ignoring
    // case; 0 if none.
    int UserIndex(const QString& name) const;
    // Entry i (1-based); nullptr outside 1..UserCount.
    TUsers* at(int index);
    const TUsers* at(int index) const;
    TUsers* find(const QString& name);

    // Operation 2: the entry (appended when new) gets the name, room, rank,
    // group, and is online unless the room is 4. nullptr when the table is
    // full and the name is new.
    TUsers* UserUpdate(const QString& name, int room, QChar group, std::uint8_t rank);
    // One record of operation 3: a new entry is appended online; the
    // spelling of the name is taken from the record; room, tag, group and
    // rank are stored; offline when the room is 4.
    TUsers* UserUpdateNew(const TUserBatchRecord& record);
    // Logout: every user offline in room 4.
    void MarkAllOffline();

private:
    TUsers* append(const QString& name);

    std::vector<TUsers> users_;
};

} // namespace tarn
