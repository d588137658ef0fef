#pragma once

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

/// Stops the run with `what` when an invariant of the code under test does not hold:
/// libFuzzer then saves the input that broke it.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s)\n", what, #condition);                 \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

/// One offscreen application for the whole run, for the targets that paint or measure text.
/// Never destroyed: the process ends with it, and tearing Qt down in exit handlers is not
/// what is being tested.
inline void startOffscreenApplication()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzzer";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *application = new QGuiApplication(argc, argv);
    Q_UNUSED(application);
}
