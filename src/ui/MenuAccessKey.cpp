#include "ui/MenuAccessKey.h"

#include <vector>

namespace kestovar {

MenuCharResult MenuCharMatch(const QStringList& texts, QChar typed, int highlighted)
{
    std::vector<int> matches;
    const QChar want = typed.toUpper();
    for (int i = 0; i < texts.size(); ++i) {
        const int amp = texts[i].indexOf('&');
        if (amp >= 0 && amp + 1 < texts[i].size() && texts[i][amp + 1].toUpper() == want)
            matches.push_back(i);
    }
    if (matches.empty())
        return {};
    if (matches.size() == 1)
        return { MenuCharResult::Execute, matches.front() };
    for (int m : matches) {
        if (m > highlighted)
            return { MenuCharResult::Select, m };
    }
    return { MenuCharResult::Select, matches.front() };
}

} // namespace kestovar
