#include "base/StringHelpers.h"

std::string& DeleteAt(std::string& text, int start, int count)
{
    const size_t from = start < 0 ? 0 : static_cast<size_t>(start);
    if (from >= text.size())
        return text;
    if (count < 0 || static_cast<size_t>(count) > text.size() - from)
        text.erase(from);
    else
        text.erase(from, static_cast<size_t>(count));
    return text;
}

std::string& InsertAt(std::string& text, int position, std::string_view insert)
{
    if (insert.empty())
        return text;
    const size_t at = position < 0 ? 0 : static_cast<size_t>(position);
    if (at >= text.size()) {
        text.resize(at, ' ');
        text.append(insert);
    } else {
        text.insert(at, insert);
    }
    return text;
}

std::string& ReplaceAt(std::string& text, int position, int count, std::string_view insert)
{
    DeleteAt(text, position, count);
    return InsertAt(text, position, insert);
}

int FindFrom(const std::string& text, std::string_view find, int start)
{
    const size_t from = start < 0 ? 0 : static_cast<size_t>(start);
    if (from > text.size())
        return -1;
    const size_t at = text.find(find, from);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int ReplaceText(std::string& text, std::string_view find, std::string_view replacement, bool all)
{
    // An empty search text would match at every position without moving on.
    if (find.empty())
        return 0;
    int count = 0;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(find, from);
        if (at == std::string::npos)
            break;
        text.replace(at, find.size(), replacement);
        ++count;
        if (!all)
            break;
        from = at + replacement.size();
    }
    return count;
}

std::string GetField(const std::string& text, std::string_view separator, int index)
{
    if (index < 0)
        return {};
    if (separator.empty())
        return index == 0 ? text : std::string();
    size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        const size_t at = text.find(separator, begin);
        if (at == std::string::npos)
            return {};
        begin = at + separator.size();
    }
    const size_t end = text.find(separator, begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string GetFieldByChar(const std::string& text, char separator, int index)
{
    return GetField(text, std::string_view(&separator, 1), index);
}
