#include "userdialogs.h"

#include <QtGlobal>

namespace {
UserDialogs *current = nullptr;
}

UserDialogs &UserDialogs::instance()
{
    Q_ASSERT_X(current, "UserDialogs::instance", "no dialogs installed");
    return *current;
}

void UserDialogs::setInstance(UserDialogs *dialogs)
{
    current = dialogs;
}
