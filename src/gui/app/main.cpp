#include "gui/app/MyMarovindApp.h"
#include "gui/app/TimerProbe.h"

int main(int argc, char* argv[]) {
    CMyMarovindApp app(argc, argv);
    TimerProbe::StartFromEnvironment(); // only when MAROVIND_PROBE_TIMER asks for it
    return app.Run();
}
