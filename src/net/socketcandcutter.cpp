// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandcutter.h"

#include <algorithm>
#include <cstring>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

void SocketcandCutter::append(const char *data, int size)
{
    if (size <= 0)
        return;
    compact();
    buffer.append(data, size);
}

bool SocketcandCutter::next(const char **begin, const char **end)
{
    for (;;) {
        const char *data = buffer.constData();
        const int size = buffer.size();
        const void *open = std::memchr(data + pos, '<', size_t(size - pos));
        if (!open) {
            skip(size);
            return false;
        }
        const int start = int(static_cast<const char *>(open) - data);
        skip(start);
        const int limit = std::min(size, start + MaxMessageSize);
        const char *stop = std::find_if(data + start + 1, data + limit,
                                        [](char c) { return c == '<' || c == '>'; });
        if (stop != data + limit && *stop == '>') {
            *begin = data + start + 1;
            *end = stop;
            pos = int(stop - data) + 1;
            return true;
        }
        if (stop != data + limit) { // a new message before this one ended
            skip(int(stop - data));
        } else if (limit - start == MaxMessageSize) {
            ++overlong;
            skip(limit);
        } else {
            return false; // the rest has not come yet
        }
    }
}

// White space between messages is no loss.
void SocketcandCutter::skip(int to)
{
    const char *data = buffer.constData();
    skipped += quint64(std::count_if(data + pos, data + to, [](char c) { return !isSpace(c); }));
    pos = to;
}

void SocketcandCutter::compact()
{
    if (pos == 0)
        return;
    buffer.remove(0, pos);
    pos = 0;
}

void SocketcandCutter::clear()
{
    buffer.clear();
    pos = 0;
}
