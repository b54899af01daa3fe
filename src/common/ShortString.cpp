#include "ShortString.h"

#include "AnsiCodec.h"

#include <algorithm>

namespace tarn {

QString ReadShortString(std::span<const std::uint8_t> field) {
    if (field.empty())
        return {};
    const std::size_t capacity = field.size() - 1;
    const std::size_t length = std::min<std::size_t>(field[0], capacity);
    return StringFromAnsi(reinterpret_cast<const char*>(field.data() + 1), length);
}

void WriteShortString(std::span<std::uint8_t> field, const QString& text) {
    if (field.empty())
        return;
    const std::size_t capacity = std::min<std::size_t>(field.size() - 1, 255);
    const QByteArray bytes = AnsiFromString(text);
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), capacity);
    field[0] = static_cast<std::uint8_t>(length);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.constData()), length,
                field.begin() + 1);
}

} // namespace tarn
