#include "lobby/UserTable.h"

#include "common/ByteReader.h"

#include <array>

namespace tarn {
namespace {

constexpr std::size_t kRecordSize = 24;

// Fixed-width UTF-8 field; zero bytes at the end are padding.
QString fixedUtf8(std::span<const std::uint8_t> bytes) {
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0)
        --n;
    return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(n));
}

} // namespace

std::vector<TUserBatchRecord> ParseUserBatch(const QByteArray& raw) {
    std::vector<TUserBatchRecord> out;
    ByteReader r(raw.constData(), static_cast<std::size_t>(raw.size()));
    r.u8(); // operation code
    const std::size_t declared = std::size_t{r.u8()} + 1;
    if (!r.ok())
        return out;
    // A count that runs past the datagram keeps only the whole records.
    const std::size_t whole = r.remaining() / kRecordSize;
    const std::size_t count = declared < whole ? declared : whole;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        TUserBatchRecord rec;
        rec.room = r.u16le();
        rec.memberGroup = QChar(r.u16le());
        rec.rank = r.u8();
        rec.tag = fixedUtf8(r.view(3));
        rec.name = fixedUtf8(r.view(16));
        if (!r.ok())
            break;
        out.push_back(std::move(rec));
    }
    return out;
}

int TUserTable::UserIndex(const QString& name) const {
    for (std::size_t i = 0; i < users_.size(); ++i)
        if (users_[i].Username.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i) + 1;
    return 0;
}

TUsers* TUserTable::at(int index) {
    return index >= 1 && index <= UserCount() ? &users_[static_cast<std::size_t>(index - 1)]
                                              : nullptr;
}

const TUsers* TUserTable::at(int index) const {
    return index >= 1 && index <= UserCount() ? &users_[static_cast<std::size_t>(index - 1)]
                                              : nullptr;
}

TUsers* TUserTable::find(const QString& name) {
    return at(UserIndex(name));
}

TUsers* TUserTable::append(const QString& name) {
    if (UserCount() >= kCapacity)
        return nullptr;
    users_.emplace_back();
    users_.back().Username = name;
    return &users_.back();
}

TUsers* TUserTable::UserUpdate(const QString& name, int room, QChar group, std::uint8_t rank) {
    TUsers* u = find(name);
    if (!u)
        u = append(name);
    if (!u)
        return nullptr;
    u->Username = name;
    u->Chatroom = room;
    u->Rank = rank;
    u->MemberGroup = group;
    u->Online = room != 4;
    return u;
}

TUsers* TUserTable::UserUpdateNew(const TUserBatchRecord& record) {
    TUsers* u = find(record.name);
    if (!u) {
        u = append(record.name);
        if (!u)
            return nullptr;
        u->Online = true;
    } else {
        u->Username = record.name;
    }
    u->Chatroom = record.room;
    u->tag = record.tag;
    u->MemberGroup = record.memberGroup;
    u->Rank = record.rank;
    if (record.room == 4)
        u->Online = false;
    return u;
}

void TUserTable::MarkAllOffline() {
    for (TUsers& u : users_) {
        u.Online = false;
        u.Chatroom = 4;
    }
}

} // namespace tarn
