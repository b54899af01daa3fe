#include "friends.h"

namespace tarn {

TFormFriends::TFormFriends(QWidget* parent)
    : TarnWindow(QStringLiteral("FormFriends"), QStringLiteral("Friends"), parent) {}

} // namespace tarn
