// A stand-in for the desktop program's start: the single-instance rule and nothing else. Prints
// "listening" once it is the first copy, "activation requested" each time a later copy asks, and
// "handed over" (exit 0) when it is itself a later copy.
#include <cstdio>

#include <QCoreApplication>

#include "ui/SingleInstance.h"

namespace {

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    if (instance.ActivateRunningCopy()) {
        Say("handed over");
        return 0;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, [] { Say("activation requested"); });
    if (!instance.Listen()) {
        Say("cannot listen");
        return 2;
    }
    Say("listening");
    return app.exec();
}
