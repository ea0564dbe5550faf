#pragma once
// What a typed character does in an open skinned menu: an item matches when the
// character after the first '&' of its text equals the typed one (case ignored).

#include <QChar>
#include <QStringList>

namespace kestovar {

struct MenuCharResult {
    enum Action { Ignore, Execute, Select } action = Ignore;
    int index = -1;
};

// texts: the items' texts in menu order; highlighted: the current item or -1.
// No match: Ignore. One: Execute it. Several: Select the first match after the
// highlighted item, wrapping to the first.
MenuCharResult MenuCharMatch(const QStringList& texts, QChar typed, int highlighted);

} // namespace kestovar
