#include "Log.h"

#include <cstdio>

namespace Log {

void line(const QString &text)
{
    // The line and its newline go out in one piece, under stdout's lock: lines written from
    // worker threads at the same moment never interleave.
    QByteArray bytes = text.toUtf8();
    bytes.append('\n');
    flockfile(stdout);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

} // namespace Log
