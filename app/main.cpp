// Program entry: everything lives in the app library.
#include "app/Program.h"

int main(int argc, char **argv)
{
    return RunProgram(argc, argv);
}
