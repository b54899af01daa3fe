#pragma once
// TFormFriends: the friends window: friend invitations and the friend list.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormFriends : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormFriends(QWidget* parent = nullptr);
};

} // namespace tarn
