// Quillor: administration of a voicemail and auto-attendant server.
#include "app/startup.h"

int main(int argc, char *argv[])
{
    return quillor::runApplication(argc, argv);
}
