#pragma once

#include <QString>

/** The program's log: one line on standard output, flushed at once. */
namespace Log {
void line(const QString &text);
} // namespace Log
