#include "ui/dovra_updater_app.h"

int main(int argc, char** argv) {
    CDovraUpdaterApp application;
    return application.Run(argc, argv);
}
