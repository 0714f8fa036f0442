#include "ui/ProgramEntry.h"

int main(int argc, char** argv) {
    return kanvio::RunProgram(argc, argv);
}
