#include "app/MyMarovindApp.h"

int main(int argc, char* argv[]) {
    CMyMarovindApp app(argc, argv);
    return app.Run();
}
