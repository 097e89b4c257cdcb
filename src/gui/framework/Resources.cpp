#include "gui/framework/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not stand inside a namespace.
static bool RegisterOnce() {
    Q_INIT_RESOURCE(marovind);
    return true;
}

void RegisterMarovindResources() {
    static const bool registered = RegisterOnce();
    (void)registered;
}
